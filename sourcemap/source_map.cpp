#include "source_map.h"

#include <algorithm>

const SourcePlace* SourceMap::At(uint32_t address) const {
    auto it = std::lower_bound(places.begin(), places.end(), address,
                               [](const SourcePlace& p, uint32_t a) { return p.address < a; });
    return it != places.end() && it->address == address ? &*it : nullptr;
}

std::optional<uint32_t> SourceMap::FirstAddress(uint32_t file, uint32_t line) const {
    for (const SourcePlace& p : places)
        if (p.file == file && p.line == line)
            return p.address;
    return std::nullopt;
}

std::vector<uint32_t> SourceMap::NearestLines(uint32_t file, uint32_t line) const {
    std::optional<uint32_t> before, after;
    for (const SourcePlace& p : places) {
        if (p.file != file)
            continue;
        if (p.line < line && (!before || p.line > *before))
            before = p.line;
        if (p.line > line && (!after || p.line < *after))
            after = p.line;
    }
    std::vector<uint32_t> nearest;
    for (const auto& l : {before, after})
        if (l)
            nearest.push_back(*l);
    return nearest;
}

std::optional<uint32_t> SourceMap::FileNamed(const std::string& name) const {
    for (uint32_t i = 0; i < files.size(); ++i) {
        const std::string& f = files[i].name;
        if (f == name || (name.size() > f.size() && name.ends_with("/" + f)))
            return i;
    }
    return std::nullopt;
}

std::string SourceMap::Where(uint32_t file, uint32_t line) const {
    return (file < files.size() ? files[file].name : "?") + ":" + std::to_string(line);
}

std::string SourceMap::Label(const SourcePlace& place) const {
    std::string text;
    if (place.file < files.size() && place.line >= 1 &&
        place.line <= files[place.file].lines.size())
        text = PlainLine(files[place.file].lines[place.line - 1]);
    const std::string where = Where(place.file, place.line);
    return text.empty() ? where : where + " " + text;
}

std::string PlainLine(const std::string& line) {
    std::string text;
    bool quoted = false, blank = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted)
            break;
        if (c == ' ' || c == '\t' || c == '\r') {
            blank = !text.empty();
            continue;
        }
        if (blank)
            text += ' ';
        blank = false;
        text += c;
    }
    return text;
}
