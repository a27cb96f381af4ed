#include "as10k1_listing.h"

#include "trimmed_text.h"

#include <charconv>

namespace {

// as10k1 pads what it made of a line to this column, then writes "||   ".
constexpr std::size_t kColumn = 51;
constexpr std::string_view kBar = "||   ";

// 'text', built by appending: GCC 12 takes "'" + std::string(...) for an overlap.
std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    quoted.append(text).append("'");
    return quoted;
}

} // namespace

As10k1Listing ParseAs10k1Listing(std::string_view text, uint32_t maxInstructions) {
    As10k1Listing out;
    uint32_t next = 0, number = 0;
    auto fail = [&](const std::string& why) {
        out.lines.clear();
        out.error = "listing line " + std::to_string(number) + ": " + why;
        return out;
    };
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (line.starts_with("Summary:"))
            return out;
        if (line.size() < kColumn + 2 || line.substr(kColumn, 2) != "||")
            continue; // a macro body's echo, not a line read
        std::string_view body = line.substr(kColumn + 2);
        if (!body.starts_with("   "))
            return fail("the source text does not start three spaces after '||'");
        As10k1ListedLine listed;
        listed.text = std::string(body.substr(3));
        if (!listed.text.empty() && listed.text.back() == '\r')
            listed.text.pop_back();
        const std::string_view made = Trimmed(line.substr(0, kColumn));
        if (made == "including file") {
            listed.including = true;
        } else if (made.starts_with("0x")) {
            uint32_t address = 0;
            const char* first = made.data() + 2;
            const char* last = made.data() + made.size();
            auto [ptr, ec] = std::from_chars(first, last, address, 16);
            if (ec != std::errc() || ptr == first || (ptr != last && *ptr != ' ' && *ptr != '\t'))
                return fail(Quoted(made) + " does not start with an address");
            if (address != 2 * next) {
                std::string why = "instruction at 0x";
                why.append(first, ptr).append(" where 2 * " + std::to_string(next) + " was due");
                return fail(why);
            }
            if (next >= maxInstructions)
                return fail("more than " + std::to_string(maxInstructions) + " instructions");
            listed.instruction = next++;
        } else if (!made.empty()) {
            return fail(Quoted(made) + " is neither an instruction nor an include");
        }
        out.lines.push_back(std::move(listed));
    }
    return fail("no 'Summary:' after the listed lines");
}
