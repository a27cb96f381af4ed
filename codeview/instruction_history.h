// The earlier versions of one instruction, as the microcode window shows them.
#pragma once

#include "chip_snapshots.h"

#include <string>

// One line per earlier image that exists, newest first: a space and the short
// form of the instruction (tab width 3), named with the program names that
// image was read under; lines joined with CR LF. Empty before the second
// read, and for an index outside the image.
std::string HistoryText(const CodeHistory& history, int index);
