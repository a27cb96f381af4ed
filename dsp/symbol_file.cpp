#include "symbol_file.h"

#include "checked_file.h"
#include "program_folder.h"
#include "symbol_table.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

enum class Section { None, Opcodes, Registers, Ignored };

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Tabs count as spaces; surrounding spaces do not count.
std::string Normalise(std::string line) {
    for (char& c : line)
        if (c == '\t')
            c = ' ';
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const std::size_t last = line.find_last_not_of(' ');
    return line.substr(first, last - first + 1);
}

std::string ToUpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

Section SectionNamed(const std::string& name) {
    if (name == "OPCODES")
        return Section::Opcodes;
    if (name == "CONSTANTS" || name == "PHISICAL" || name == "VIRTUAL")
        return Section::Registers;
    // "INSTRUCTION MEMORY", "GPR MEMORY" and unknown names: lines are ignored.
    return Section::Ignored;
}

// "0x" and one to eight hex digits, read as a 16-bit (up to four digits) or
// 32-bit two's-complement number that must fit the 16-bit range.
std::optional<int32_t> ParseValue(const std::string& word) {
    if (word.size() < 3 || word[0] != '0' || word[1] != 'x' || word.size() > 10)
        return std::nullopt;
    uint32_t bits = 0;
    for (std::size_t i = 2; i < word.size(); ++i) {
        const int digit = HexDigitValue(word[i]);
        if (digit < 0)
            return std::nullopt;
        bits = (bits << 4) | static_cast<uint32_t>(digit);
    }
    const std::size_t digits = word.size() - 2;
    const int32_t value = digits <= 4 ? static_cast<int16_t>(bits) : static_cast<int32_t>(bits);
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return value;
}

// Stores one entry line, or nothing when it is malformed.
void StoreEntry(const std::string& line, SymbolTable& table) {
    const std::size_t comment = line.find("//");
    const std::string definition = line.substr(0, comment);
    const std::string note =
        comment == std::string::npos ? std::string() : line.substr(comment + 2);

    // Words are separated by runs of spaces; only the first two count.
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (words.size() < 2) {
        pos = definition.find_first_not_of(' ', pos);
        if (pos == std::string::npos)
            break;
        const std::size_t end = definition.find(' ', pos);
        words.push_back(definition.substr(pos, end - pos));
        pos = end;
    }
    if (words.size() < 2)
        return;
    const std::string& name = words[0];
    if (!IsAsciiLetter(name[0]) && name[0] != '_')
        return;
    const std::optional<int32_t> value = ParseValue(words[1]);
    if (!value)
        return;
    table.Store(name, *value, note);
}

// Splits at CR LF, a lone CR or a lone LF.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

} // namespace

void ReadSymbolText(const std::string& text, SymbolTable& opcodes, SymbolTable& registers) {
    Section section = Section::None;
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t number = 0; number < lines.size(); ++number) {
        // No name or note is this long: such a line is malformed, and
        // skipping it keeps every later step short.
        if (lines[number].size() > kMaxSymbolLine)
            continue;
        const std::string line = Normalise(lines[number]);
        if (line.empty())
            continue;
        if (line[0] == '[') {
            if (line.size() < 2)
                throw std::runtime_error("malformed section header \"" + line + "\" on line " +
                                         std::to_string(number + 1));
            // The last character is meant to be "]" and is dropped whatever it is.
            section = SectionNamed(ToUpperAscii(line.substr(1, line.size() - 2)));
            continue;
        }
        if (section == Section::Opcodes)
            StoreEntry(line, opcodes);
        else if (section == Section::Registers)
            StoreEntry(line, registers);
    }
}

int LoadSymbolFile(const std::string& path, SymbolTable& opcodes, SymbolTable& registers) {
    std::string why;
    const std::optional<std::string> content = ReadCheckedFile(path, kMaxSymbolFileBytes, &why);
    if (!content)
        throw std::runtime_error("Can't open symbol file " + path + ": " + why);
    try {
        ReadSymbolText(*content, opcodes, registers);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("Symbol file " + path + ": " + e.what());
    }
    return 0;
}

int LoadSymbolFile(const std::string& path) {
    return LoadSymbolFile(path, OpcodeSymbols(), RegisterSymbols());
}

int LoadSymbolFile() {
    return LoadSymbolFile(SymbolFilePath());
}

std::string SymbolFilePath() {
    return ProgramFolder() + "/Symbols/8010.d";
}
