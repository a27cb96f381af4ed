// Register values as fractions of full scale, 2^31 for every register: a
// TRAM data register holds its 20-bit sample in its top bits, so the same
// scale gives that sample's fraction.
#pragma once

#include <cstdint>
#include <string>

double Fraction(int32_t value);
bool IsTramData(uint32_t address);
// The value as printed beside a trace or control: its fraction, and for TRAM
// data the 20-bit sample it holds ("-0.25000 (20-bit -131072)").
std::string ValueText(uint32_t address, int32_t value);
