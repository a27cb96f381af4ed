// Window geometry is kept in twips (1/1440 inch); the screen has 15 twips to
// the pixel at 96 dots per inch.
#pragma once

#include <QRect>

constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// A control's place given in twips, as the layout gives it.
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}
