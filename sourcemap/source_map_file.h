// The source map as emuapsd writes it beside its socket (emuaps.lines), for
// every client to read:
//   velmora source map 1
//   file NAME LINES        then LINES lines, each "|" and the source line
//   at 0xAAA FILE LINE     an instruction's chip address, file index, line
// A map of no program is the first line alone.
#pragma once

#include "source_map.h"

#include <optional>
#include <string>
#include <string_view>

std::string SourceMapText(const SourceMap& map);

struct SourceMapRead {
    std::optional<SourceMap> map;
    std::string error; // "line N: why"
};
SourceMapRead ParseSourceMap(std::string_view text);

// A map is the program's source and a line a chip instruction; far below this.
constexpr std::size_t kMaxSourceMapBytes = 16 << 20;
// Reads path (a regular file of at most kMaxSourceMapBytes) and parses it.
SourceMapRead ReadSourceMapFile(const std::string& path);
