#include "listing_scanner.h"

namespace {

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

std::unordered_set<std::string> WordSet(std::string_view list) {
    std::unordered_set<std::string> set;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string_view::npos)
            end = list.size();
        if (end > start)
            set.insert(UpperAscii(list.substr(start, end - start)));
        start = end + 1;
    }
    return set;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsAt(std::string_view text, std::size_t i, const char* two) {
    return i + 1 < text.size() && text[i] == two[0] && text[i + 1] == two[1];
}

class RunWriter {
  public:
    explicit RunWriter(std::vector<StyleRun>& runs) : runs_(runs) {}
    void Add(std::size_t length, ListingStyle style) {
        if (length == 0)
            return;
        if (!runs_.empty() && runs_.back().style == style)
            runs_.back().length += length;
        else
            runs_.push_back({length, style});
    }

  private:
    std::vector<StyleRun>& runs_;
};

} // namespace

ListingWords::ListingWords(std::string_view registerList, std::string_view opcodeList)
    : registers_(WordSet(registerList)), opcodes_(WordSet(opcodeList)) {}

ListingStyle ListingWords::StyleOfWord(std::string_view word) const {
    const std::string upper = UpperAscii(word);
    if (registers_.count(upper))
        return ListingStyle::Register;
    if (opcodes_.count(upper))
        return ListingStyle::Opcode;
    return ListingStyle::Default;
}

ListingScan ScanListing(std::string_view text, bool inBlockComment, const ListingWords& words) {
    ListingScan scan;
    RunWriter out(scan.runs);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (inBlockComment) {
            if (StartsAt(text, i, "*/")) {
                out.Add(2, ListingStyle::Comment);
                i += 2;
                inBlockComment = false;
                continue;
            }
            out.Add(1, ListingStyle::Comment);
            if (c == '\n')
                scan.blockOpenAfterLine.push_back(true);
            ++i;
        } else if (c == '\n') {
            out.Add(1, ListingStyle::Default);
            scan.blockOpenAfterLine.push_back(false);
            ++i;
        } else if (IsBlank(c)) {
            out.Add(1, ListingStyle::Default);
            ++i;
        } else if (StartsAt(text, i, "//")) {
            std::size_t end = text.find_first_of("\r\n", i);
            if (end == std::string_view::npos)
                end = text.size();
            out.Add(end - i, ListingStyle::Comment);
            i = end;
        } else if (StartsAt(text, i, "/*")) {
            out.Add(2, ListingStyle::Comment);
            i += 2;
            inBlockComment = true;
        } else {
            std::size_t end = i + 1;
            while (end < text.size() && !IsBlank(text[end]) && !StartsAt(text, end, "//") &&
                   !StartsAt(text, end, "/*"))
                ++end;
            out.Add(end - i, words.StyleOfWord(text.substr(i, end - i)));
            i = end;
        }
    }
    return scan;
}
