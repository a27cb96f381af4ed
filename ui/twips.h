// Window geometry is kept in twips (1/1440 inch); the screen has 15 twips to
// the pixel at 96 dots per inch.
#pragma once

constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
