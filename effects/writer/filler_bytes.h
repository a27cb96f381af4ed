// Bytes that look like the rest of a program file (runs of zeros, machine
// code, text) to put around RIFX blocks. They never contain "RIFX", so the
// only effect programs in a built library are the ones described.
#pragma once

#include <cstdint>
#include <string>

enum class FillerKind { Binary, Zero };

// Appends count filler bytes to out; the same seed gives the same bytes.
void AppendFiller(std::string& out, std::size_t count, FillerKind kind, uint64_t seed);
