// The word a person gets when the driver service is lost under a running
// viewer: a critical box captioned "Velmora" with the reason. Until it is
// answered nothing else in the program runs: no timer, no queued call, no
// window repainting a half-read image.
#pragma once

#include <QString>

void ShowServiceLostBox(const QString& reason);
