// emuapsctl list [LINE]: the source around where the chip stands, from the
// map emuapsd writes beside its socket and the chip's next instruction.
#pragma once

#include <string>
#include <vector>

// Prints the lines or says why not; the exit status.
int ListSource(const std::vector<std::string>& words);
