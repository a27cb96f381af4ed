// Every hexadecimal number the program shows is written by HexPad.
#pragma once

#include <cstdint>
#include <string>

// Upper-case hex digits of the 32-bit value (a negative value gives eight
// digits), left-filled with "0" to at least width characters; never cut.
std::string HexPad(int32_t value, int width);
