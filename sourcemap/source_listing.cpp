#include "source_listing.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr uint32_t kShown = 10;

bool TakeLine(const std::string& text, uint32_t* line) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), *line);
    return ec == std::errc() && ptr == text.data() + text.size() && !text.empty() && *line > 0;
}

} // namespace

const SourcePlace* PlaceFrom(const SourceMap& map, uint32_t address) {
    for (const SourcePlace& p : map.places)
        if (p.address >= address)
            return &p;
    return map.places.empty() ? nullptr : &map.places.front();
}

std::string SourceListing(const SourceMap& map, std::optional<uint32_t> next,
                          const std::string& arg, std::string* why) {
    const SourcePlace* at = next ? PlaceFrom(map, *next) : nullptr;
    uint32_t file = 0, line = 0;
    if (arg.empty()) {
        if (!at) {
            *why = "the chip stands at no line of the program's source";
            return "";
        }
        file = at->file;
        line = at->line;
    } else {
        const std::size_t colon = arg.rfind(':');
        if (colon != std::string::npos) {
            const std::optional<uint32_t> named = map.FileNamed(arg.substr(0, colon));
            if (!named) {
                *why = "the program's source has no file " + arg.substr(0, colon);
                return "";
            }
            file = *named;
        }
        if (!TakeLine(colon == std::string::npos ? arg : arg.substr(colon + 1), &line)) {
            *why = "list takes LINE or FILE:LINE, not '" + arg + "'";
            return "";
        }
    }
    if (file >= map.files.size() || line > map.files[file].lines.size()) {
        *why = map.Where(file, line) + " is past the end of " +
               (file < map.files.size() ? map.files[file].name : std::string("the source"));
        return "";
    }
    const uint32_t count = uint32_t(map.files[file].lines.size());
    const uint32_t first = std::max<int64_t>(1, int64_t(line) - kShown / 2);
    const uint32_t last = std::min(count, first + kShown - 1);
    std::string text;
    for (uint32_t l = first; l <= last; ++l) {
        const bool marked = at && at->file == file && at->line == l;
        text += (marked ? "=> " : "   ") + std::to_string(l) + "\t" + map.files[file].lines[l - 1] +
                "\n";
    }
    return text;
}
