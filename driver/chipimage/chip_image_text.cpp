// The text form of a chip image; see README-chip-image.md.
#include "chip_image.h"
#include "hex_number.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <vector>

namespace {

const char* const kOpcodeNames[16] = {"MACS", "MACS1", "MACW",   "MACW1",  "MACINTS", "MACINTW",
                                      "ACC3", "MACMV", "ANDXOR", "TSTNEG", "LIMIT",   "LIMIT1",
                                      "LOG",  "EXP",   "INTERP", "SKIP"};

const std::size_t kMaxQuoted = 24;

// Quotes a word for an error message, cut short and with control bytes shown as '?'.
std::string Quote(std::string_view word) {
    std::string out = "'";
    for (std::size_t i = 0; i < word.size() && i < kMaxQuoted; ++i) {
        unsigned char c = static_cast<unsigned char>(word[i]);
        out += (c < 0x20 || c >= 0x7F) ? '?' : char(c);
    }
    if (word.size() > kMaxQuoted)
        out += "...";
    return out + "'";
}

std::vector<std::string_view> SplitWords(std::string_view line) {
    if (auto hash = line.find('#'); hash != std::string_view::npos)
        line = line.substr(0, hash);
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Hexadecimal with 0x, else decimal; no sign, at most 32 bits.
std::optional<uint32_t> ParseNumber(std::string_view word) {
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    if (word.empty() || word[0] == '-' || word[0] == '+')
        return std::nullopt;
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseOpcode(std::string_view word) {
    for (uint32_t op = 0; op < 16; ++op) {
        std::string_view name = kOpcodeNames[op];
        if (name.size() == word.size() &&
            std::equal(name.begin(), name.end(), word.begin(), [](char a, char b) {
                return a == std::toupper(static_cast<unsigned char>(b));
            }))
            return op;
    }
    auto number = ParseNumber(word);
    if (number && *number < 16)
        return number;
    return std::nullopt;
}

class TextParser {
  public:
    explicit TextParser(std::string_view text) : text_(text) {}

    ChipImageResult run() {
        // A file cut short loses the end of its last line, and that could be
        // half a number: so the last line must end with its line end.
        if (!text_.empty() && text_.back() != '\n') {
            line_ = int(std::count(text_.begin(), text_.end(), '\n')) + 1;
            fail("the file ends inside this line: it was cut short (the last line of a chip "
                 "image ends with a line end)");
            return result_;
        }
        std::size_t pos = 0;
        while (pos <= text_.size() && !failed()) {
            std::size_t end = text_.find('\n', pos);
            if (end == std::string_view::npos)
                end = text_.size();
            ++line_;
            std::string_view line = text_.substr(pos, end - pos);
            if (line_ == 1)
                header(line);
            else
                statement(SplitWords(line));
            pos = end + 1;
        }
        if (!failed())
            result_.image = image_;
        return result_;
    }

  private:
    bool failed() const { return !result_.error.empty(); }

    void fail(std::string message) {
        result_.line = line_;
        result_.error = std::move(message);
    }

    void header(std::string_view line) {
        auto words = SplitWords(line);
        if (words.size() == 2 && words[0] == kChipImageFormat && words[1] != "1")
            return fail("unsupported version " + Quote(words[1]) + "; this reader knows 1");
        if (words.size() != 2 || words[0] != kChipImageFormat)
            return fail("the first line must be \"" + std::string(kChipImageHeader) + "\"");
    }

    void statement(const std::vector<std::string_view>& words) {
        if (words.empty())
            return;
        if (words[0] == "reg")
            return reg(words);
        if (words[0] == "instr")
            return instr(words);
        fail("unknown statement " + Quote(words[0]) + "; expected reg or instr");
    }

    // reg <address> <value> [<value>...]
    void reg(const std::vector<std::string_view>& words) {
        if (words.size() < 3)
            return fail("reg needs an address and at least one value");
        auto address = ParseNumber(words[1]);
        if (!address || *address >= kChipRegisterCount)
            return fail("bad register address " + Quote(words[1]) + "; expected 0 to 0x7FF");
        std::size_t count = words.size() - 2;
        if (*address + count > kChipRegisterCount)
            return fail("the values run past register 0x7FF");
        for (std::size_t i = 0; i < count; ++i) {
            auto value = ParseNumber(words[2 + i]);
            if (!value)
                return fail("bad value " + Quote(words[2 + i]) + "; expected a 32-bit number");
            image_.registers[*address + i] = *value;
        }
    }

    // instr <index>[-<last>] <opcode> <R> <A> <X> <Y>
    void instr(const std::vector<std::string_view>& words) {
        if (words.size() != 7)
            return fail("instr takes an index, an opcode and four operands R A X Y");
        uint32_t first = 0, last = 0;
        if (!indexRange(words[1], first, last))
            return;
        auto opcode = ParseOpcode(words[2]);
        if (!opcode)
            return fail("bad opcode " + Quote(words[2]) + "; expected a name or 0 to 15");
        uint32_t operand[4];
        for (int i = 0; i < 4; ++i) {
            auto value = ParseNumber(words[3 + i]);
            if (!value || *value > 0x3FF)
                return fail("bad operand " + Quote(words[3 + i]) + "; expected 0 to 0x3FF");
            operand[i] = *value;
        }
        Fx8010Words w =
            Fx8010PackInstruction({*opcode, operand[0], operand[1], operand[2], operand[3]});
        for (uint32_t i = first; i <= last; ++i) {
            image_.registers[kMicrocodeBase + 2 * i] = w.low;
            image_.registers[kMicrocodeBase + 2 * i + 1] = w.high;
        }
    }

    bool indexRange(std::string_view word, uint32_t& first, uint32_t& last) {
        std::size_t dash = word.find('-');
        auto a = ParseNumber(word.substr(0, dash));
        auto b = dash == std::string_view::npos ? a : ParseNumber(word.substr(dash + 1));
        if (!a || !b || *a >= uint32_t(kMicrocodeSize) || *b >= uint32_t(kMicrocodeSize) ||
            *b < *a) {
            fail("bad instruction index " + Quote(word) +
                 "; expected 0 to 511 or a range like 40-511");
            return false;
        }
        first = *a;
        last = *b;
        return true;
    }

    std::string_view text_;
    int line_ = 0;
    ChipImage image_;
    ChipImageResult result_;
};

void AppendRegisterRuns(std::string& out, const ChipImage& image, uint32_t first, uint32_t end) {
    const uint32_t kPerLine = 8;
    uint32_t i = first;
    while (i < end) {
        if (image.registers[i] == 0) {
            ++i;
            continue;
        }
        out += "reg ";
        out += HexNumber(i, 3);
        for (uint32_t n = 0; n < kPerLine && i < end && image.registers[i] != 0; ++n, ++i) {
            out += ' ';
            out += HexNumber(image.registers[i], 8);
        }
        out += '\n';
    }
}

// The instr form holds 20 low and 24 high bits; other words stay reg lines.
bool Representable(uint32_t low, uint32_t high) {
    return low <= 0xFFFFF && high <= 0xFFFFFF;
}

std::string InstrOperands(uint32_t low, uint32_t high) {
    Fx8010Fields f = Fx8010UnpackInstruction({low, high});
    std::string out = kOpcodeNames[f.opcode];
    for (uint32_t operand : {f.r, f.a, f.x, f.y}) {
        out += ' ';
        out += HexNumber(operand, 3);
    }
    return out;
}

} // namespace

ChipImageResult ParseChipImageText(std::string_view text) {
    return TextParser(text).run();
}

std::string FormatChipImageText(const ChipImage& image) {
    std::string out = std::string(kChipImageHeader) + "\n";
    out += "# Registers not listed are zero.\n";
    AppendRegisterRuns(out, image, 0, kMicrocodeBase);
    out += "# Microcode: instr <index>[-<last>] <opcode> <R> <A> <X> <Y>\n";
    int i = 0;
    while (i < kMicrocodeSize) {
        uint32_t low = image.registers[kMicrocodeBase + 2 * i];
        uint32_t high = image.registers[kMicrocodeBase + 2 * i + 1];
        if (!Representable(low, high)) {
            AppendRegisterRuns(out, image, kMicrocodeBase + 2 * i, kMicrocodeBase + 2 * i + 2);
            ++i;
            continue;
        }
        int last = i;
        while (last + 1 < kMicrocodeSize &&
               image.registers[kMicrocodeBase + 2 * (last + 1)] == low &&
               image.registers[kMicrocodeBase + 2 * (last + 1) + 1] == high)
            ++last;
        if (low != 0 || high != 0) {
            out += "instr ";
            out += std::to_string(i);
            if (last > i) {
                out += '-';
                out += std::to_string(last);
            }
            out += ' ';
            out += InstrOperands(low, high);
            out += '\n';
        }
        i = last + 1;
    }
    return out;
}
