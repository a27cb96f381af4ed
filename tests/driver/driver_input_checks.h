// The service's readers of files it is given, run over arbitrary bytes, with
// checks of what they report. Each returns "" when all holds, else what did
// not. The bounded mutation tests and the libFuzzer targets share them.
#pragma once

#include <string>

// A chip image: an image or an error, never both; an accepted text form ended
// with a line end and reads back the same from its own text; an error is
// printable.
std::string CheckChipImageParser(const std::string& bytes);

// An as10k1 patch: a patch or an error; an accepted patch writes back to a
// file that reads as the same patch; placed on chips whose own taps reach past
// the pools, it lands inside them, with one flag on each register it takes
// and none on the others.
std::string CheckPatchReader(const std::string& bytes);
