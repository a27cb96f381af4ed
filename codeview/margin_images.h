// The two pictures of a code view's margin: image 1 marks a changed
// instruction, image 2 the caret line. They are drawn in different halves so
// that a line can show both.
#pragma once

#include <QPixmap>
#include <QSize>

#include <array>

// Index 0 is image 1 (changed), index 1 image 2 (caret line).
std::array<QPixmap, 2> MakeMarginImages(QSize size);
