#include "listing_lines.h"

namespace {

// The name an include directive gives: `include "sub.asm"`.
std::string IncludedName(const std::string& text) {
    const std::size_t open = text.find('"');
    const std::size_t close = open == std::string::npos ? open : text.find('"', open + 1);
    return close == std::string::npos ? "" : text.substr(open + 1, close - open - 1);
}

bool IsEnd(const std::string& text) {
    return PlainLine(text) == "end";
}

} // namespace

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

ListingLines MatchListing(
    const As10k1Listing& listing, const SourceFile& main,
    const std::function<std::optional<std::vector<std::string>>(const std::string&)>& read) {
    ListingLines out;
    out.files.push_back(main);
    struct Frame {
        uint32_t file;
        std::size_t cursor = 0;
    };
    std::vector<Frame> frames{{0}};
    std::vector<uint32_t> pending; // instructions waiting for their line
    for (const As10k1ListedLine& listed : listing.lines) {
        Frame& top = frames.back();
        const std::vector<std::string>& lines = out.files[top.file].lines;
        const bool matches = top.cursor < lines.size() && lines[top.cursor] == listed.text;
        if (!matches) {
            if (listed.instruction)
                pending.push_back(*listed.instruction);
            continue;
        }
        const uint32_t line = uint32_t(++top.cursor);
        if (listed.instruction)
            pending.push_back(*listed.instruction);
        for (uint32_t i : pending)
            out.places.push_back({i, top.file, line});
        pending.clear();
        const bool done = top.cursor == lines.size() || IsEnd(listed.text);
        if (done && frames.size() > 1) {
            frames.pop_back();
        } else if (listed.including) {
            const std::string name = IncludedName(listed.text);
            std::optional<std::vector<std::string>> included = read(name);
            if (!included) {
                out.error = "cannot read " + name + ", which " + out.files[top.file].name + ":" +
                            std::to_string(line) + " includes";
                return out;
            }
            const bool empty = included->empty();
            out.files.push_back({name, std::move(*included)});
            if (!empty)
                frames.push_back({uint32_t(out.files.size() - 1)});
        }
    }
    if (!pending.empty())
        out.error = "the listing's instruction " + std::to_string(pending.front()) +
                    " matches no line of the source";
    return out;
}
