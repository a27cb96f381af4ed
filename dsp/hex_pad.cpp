#include "hex_pad.h"

std::string HexPad(int32_t value, int width) {
    static const char kDigits[] = "0123456789ABCDEF";
    uint32_t v = static_cast<uint32_t>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}
