// LOG and EXP: a piecewise-linear base-2 logarithm of a 31-bit magnitude and
// its inverse. The magnitude's top w bits hold an exponent 0..e (e = X mod 32,
// w the bits e needs), the rest the mantissa below the leading one; exponent
// 0 holds small values unnormalised. See README-interpreter.md.
#include "fx8010_alu.h"

namespace fx8010 {
namespace {

int ExponentBits(uint32_t maxExponent) {
    int bits = 0;
    while (maxExponent >> bits)
        ++bits;
    return bits;
}

uint32_t Magnitude(int32_t v) {
    if (v == INT32_MIN)
        return 0x7FFFFFFF;
    return uint32_t(v < 0 ? -v : v);
}

// Sign mode 0 keeps the input's sign, 1 gives a positive, 2 a negative
// result, 3 the opposite of the input's sign.
int32_t ApplySign(uint32_t magnitude, bool inputNegative, int32_t signMode) {
    bool negative = false;
    switch (signMode & 3) {
    case 0:
        negative = inputNegative;
        break;
    case 1:
        negative = false;
        break;
    case 2:
        negative = true;
        break;
    default:
        negative = !inputNegative;
        break;
    }
    return negative ? -int32_t(magnitude) : int32_t(magnitude);
}

} // namespace

int32_t Log(int32_t a, int32_t maxExponent, int32_t signMode) {
    const uint32_t e = uint32_t(maxExponent) & 31;
    const int w = ExponentBits(e);
    const uint32_t m = Magnitude(a);
    uint32_t exponent = 0, mantissa = 0;
    if (m != 0) {
        uint32_t zeros = uint32_t(__builtin_clz(m)) - 1; // above the leading one, below bit 31
        if (zeros < e) {
            exponent = e - zeros;
            mantissa = (m << (zeros + 1)) & 0x7FFFFFFF; // leading one dropped, left-aligned
        } else {
            mantissa = m << e;
        }
    }
    uint32_t magnitude = w == 0 ? mantissa : (exponent << (31 - w)) | (mantissa >> w);
    return ApplySign(magnitude, a < 0, signMode);
}

int32_t Exp(int32_t a, int32_t maxExponent, int32_t signMode) {
    const uint32_t e = uint32_t(maxExponent) & 31;
    const int w = ExponentBits(e);
    const uint32_t magnitude = Magnitude(a);
    uint32_t m = magnitude;
    if (w > 0) {
        uint32_t exponent = magnitude >> (31 - w);
        uint32_t mantissa = (magnitude << w) & 0x7FFFFFFF;
        if (exponent > e)
            m = 0x7FFFFFFF; // beyond what LOG yields: the largest magnitude
        else if (exponent == 0)
            m = mantissa >> e;
        else
            m = (0x80000000u | mantissa) >> (e - exponent + 1); // the leading one back
    }
    return ApplySign(m, a < 0, signMode);
}

} // namespace fx8010
