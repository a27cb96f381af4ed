// emuapsctl list: the source around where the chip stands, as a debugger's
// list shows it, the line the chip executes next marked.
#pragma once

#include "source_map.h"

#include <cstdint>
#include <optional>
#include <string>

// The line of the instruction at address, or of the first one after it that
// a line made (the chip stands before the loader's own instructions too).
const SourcePlace* PlaceFrom(const SourceMap& map, uint32_t address);

// Ten lines around arg ("", LINE of the program's own file, or FILE:LINE;
// "" is the line of next), each "NN\ttext", "=>" before the line of next.
// "" and why when arg names no line of the map's files.
std::string SourceListing(const SourceMap& map, std::optional<uint32_t> next,
                          const std::string& arg, std::string* why);
