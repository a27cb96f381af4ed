#include "fx_library_builder.h"

#include "filler_bytes.h"
#include "symbol_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <sstream>
#include <vector>

FxDescriptionError::FxDescriptionError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words and "quoted strings"; '#' and "//" outside quotes
// start a comment, so lines copied from a listing keep working.
std::vector<Token> Tokenize(const std::string& line, int lineNumber) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
        } else if (c == '#' || line.compare(i, 2, "//") == 0) {
            break;
        } else if (c == '"') {
            Token token{{}, true};
            ++i;
            while (true) {
                if (i >= line.size())
                    throw FxDescriptionError(lineNumber, "unterminated string");
                c = line[i++];
                if (c == '"')
                    break;
                if (c != '\\') {
                    token.text.push_back(c);
                    continue;
                }
                if (i >= line.size())
                    throw FxDescriptionError(lineNumber, "unterminated string");
                c = line[i++];
                if (c == 'x') {
                    unsigned value = 0;
                    auto [end, ec] = std::from_chars(
                        line.data() + i, line.data() + std::min(i + 2, line.size()), value, 16);
                    if (ec != std::errc() || end != line.data() + i + 2)
                        throw FxDescriptionError(lineNumber, "\\x needs two hex digits");
                    token.text.push_back(static_cast<char>(value));
                    i += 2;
                } else if (c == '0') {
                    token.text.push_back('\0');
                } else {
                    token.text.push_back(c); // \" and \\ .
                }
            }
            tokens.push_back(std::move(token));
        } else {
            Token token;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) &&
                   line[i] != ',' && line[i] != '"')
                token.text.push_back(line[i++]);
            tokens.push_back(std::move(token));
        }
    }
    return tokens;
}

std::optional<uint64_t> ParseNumber(const std::string& text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint64_t value = 0;
    auto [stop, ec] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (ec != std::errc() || stop != end || begin == end)
        return std::nullopt;
    return value;
}

std::string BigEndian(uint64_t value, int bytes) {
    std::string out;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    return out;
}

const char* const kWordLists[] = {"rsrc", "gprs", "tram", "xtra", "inp", "outp", "iscl", "wscl"};

class Builder {
  public:
    Builder(const SymbolTable& opcodes, const SymbolTable& registers)
        : opcodes_(opcodes), registers_(registers) {}

    std::string Build(const std::string& description) {
        std::istringstream in(description);
        std::string line;
        while (std::getline(in, line)) {
            ++line_;
            std::vector<Token> tokens = Tokenize(line, line_);
            if (!tokens.empty())
                Directive(tokens);
        }
        if (!open_.empty())
            Fail("\"" + open_.back().what + "\" opened on line " +
                 std::to_string(open_.back().line) + " has no \"end\"");
        return std::move(out_);
    }

  private:
    struct Open {
        std::string what;  // rifx, list or code
        std::size_t start; // offset of the chunk id
        std::optional<uint64_t> size;
        int line;
    };

    [[noreturn]] void Fail(const std::string& message) const {
        throw FxDescriptionError(line_, message);
    }

    bool InCode() const { return !open_.empty() && open_.back().what == "code"; }

    void Directive(std::vector<Token> tokens) {
        std::optional<uint64_t> size = TakeSizeOption(tokens);
        const std::string& word = tokens[0].text;
        if (word == "end" && !tokens[0].quoted) {
            Expect(tokens.size() == 1 && !size, "\"end\" takes nothing");
            Close();
        } else if (word == "bytes") {
            Expect(!size, "\"bytes\" takes no size");
            out_ += Bytes(tokens, 1);
        } else if (InCode()) {
            Expect(!size, "an instruction takes no size");
            Instruction(tokens);
        } else if (word == "filler") {
            Filler(tokens);
        } else if (word == "rifx") {
            Expect(tokens.size() <= 2, "\"rifx\" takes one form type");
            OpenChunk("rifx", "RIFX", size);
            out_ += tokens.size() == 2 ? FourCharacters(tokens[1]) : "PTXT";
        } else if (word == "list") {
            Expect(tokens.size() == 2, "\"list\" needs its list type");
            OpenChunk("list", "LIST", size);
            out_ += FourCharacters(tokens[1]);
        } else if (word == "code") {
            Expect(tokens.size() == 1, "\"code\" takes its instructions on the lines below");
            OpenChunk("code", "code", size);
        } else if (word == "ckid") {
            std::string text;
            for (std::size_t i = 1; i < tokens.size(); ++i) {
                Expect(tokens[i].quoted, "ckid takes quoted strings");
                text += tokens[i].text;
                text.push_back('\0');
            }
            Chunk("ckid", text, size);
        } else if (std::find(std::begin(kWordLists), std::end(kWordLists), word) !=
                   std::end(kWordLists)) {
            std::string data;
            for (std::size_t i = 1; i < tokens.size(); ++i)
                data += BigEndian(Number(tokens[i], 0xFFFF), 2);
            Chunk(FourCharacters(tokens[0]), data, size);
        } else if (word == "chunk") {
            Expect(tokens.size() >= 2, "\"chunk\" needs an id");
            Chunk(FourCharacters(tokens[1]), Bytes(tokens, 2), size);
        } else {
            Fail("unknown directive \"" + word + "\"");
        }
    }

    void Expect(bool condition, const std::string& message) const {
        if (!condition)
            Fail(message);
    }

    std::optional<uint64_t> TakeSizeOption(std::vector<Token>& tokens) const {
        std::optional<uint64_t> size;
        for (auto it = tokens.begin(); it != tokens.end();) {
            if (!it->quoted && it->text.rfind("size=", 0) == 0) {
                size = ParseNumber(it->text.substr(5));
                Expect(size && *size <= 0xFFFFFFFFu, "size= needs a 32-bit number");
                it = tokens.erase(it);
            } else {
                ++it;
            }
        }
        Expect(!tokens.empty(), "size= alone is no directive");
        return size;
    }

    std::string FourCharacters(const Token& token) const {
        Expect(token.text.size() <= 4 && !token.text.empty(), "an id has one to four characters");
        std::string id = token.text;
        id.resize(4, ' ');
        return id;
    }

    uint64_t Number(const Token& token, uint64_t max) const {
        std::optional<uint64_t> value = ParseNumber(token.text);
        Expect(!token.quoted && value && *value <= max,
               "\"" + token.text + "\" is not a number from 0 to " + std::to_string(max));
        return *value;
    }

    // Two-digit hex bytes and quoted strings, in order.
    std::string Bytes(const std::vector<Token>& tokens, std::size_t first) const {
        std::string bytes;
        for (std::size_t i = first; i < tokens.size(); ++i) {
            if (tokens[i].quoted) {
                bytes += tokens[i].text;
                continue;
            }
            std::optional<uint64_t> value = ParseNumber("0x" + tokens[i].text);
            Expect(tokens[i].text.size() == 2 && value,
                   "\"" + tokens[i].text + "\" is not a hex byte");
            bytes.push_back(static_cast<char>(*value));
        }
        return bytes;
    }

    void Filler(const std::vector<Token>& tokens) {
        Expect(tokens.size() == 2 || tokens.size() == 3, "\"filler\" takes a count and a kind");
        uint64_t count = Number(tokens[1], 1ull << 32);
        FillerKind kind = FillerKind::Binary;
        if (tokens.size() == 3) {
            Expect(tokens[2].text == "zero" || tokens[2].text == "binary",
                   "filler kinds are \"binary\" and \"zero\"");
            kind = tokens[2].text == "zero" ? FillerKind::Zero : FillerKind::Binary;
        }
        AppendFiller(out_, static_cast<std::size_t>(count), kind, ++fillers_);
    }

    // The odd ckid and code chunks get the pad byte that RIFF asks for; word
    // lists never do. A forced size= leaves the bytes exactly as written.
    static bool Padded(const std::string& id) { return id == "ckid" || id == "code"; }

    void Chunk(const std::string& id, const std::string& data, std::optional<uint64_t> size) {
        out_ += id + BigEndian(size.value_or(data.size()), 4) + data;
        if (!size && Padded(id) && data.size() % 2 != 0)
            out_.push_back('\0');
    }

    void OpenChunk(const std::string& what, const std::string& id, std::optional<uint64_t> size) {
        open_.push_back({what, out_.size(), size, line_});
        out_ += id + std::string(4, '\0');
    }

    void Close() {
        Expect(!open_.empty(), "\"end\" without an open rifx, list or code");
        Open block = open_.back();
        open_.pop_back();
        const std::size_t data = out_.size() - block.start - 8;
        out_.replace(block.start + 4, 4, BigEndian(block.size.value_or(data), 4));
        if (!block.size && block.what == "code" && data % 2 != 0)
            out_.push_back('\0');
    }

    // <opcode> <A> <X> <Y> <R>, the order of a listing line.
    void Instruction(const std::vector<Token>& tokens) {
        Expect(tokens.size() == 5, "an instruction is an opcode and four operands A X Y R");
        out_.push_back(static_cast<char>(Resolve(tokens[0], opcodes_, 0xFF)));
        for (std::size_t i = 1; i < 5; ++i)
            out_ += BigEndian(Resolve(tokens[i], registers_, 0xFFFF), 2);
    }

    uint64_t Resolve(const Token& token, const SymbolTable& names, uint64_t max) const {
        if (!token.quoted && ParseNumber(token.text))
            return Number(token, max);
        if (const int32_t* value = FindName(names, token.text))
            return static_cast<uint64_t>(*value) & max;
        Fail("unknown name \"" + token.text + "\"");
    }

    // Exact spelling first, then regardless of case, as the listing matches names.
    static const int32_t* FindName(const SymbolTable& names, const std::string& name) {
        if (const int32_t* value = names.ValueByName().find(name))
            return value;
        auto lower = [](std::string s) {
            for (char& c : s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        const std::string wanted = lower(name);
        for (const auto& [candidate, value] : names.ValueByName().entries())
            if (lower(candidate) == wanted)
                return &value;
        return nullptr;
    }

    const SymbolTable& opcodes_;
    const SymbolTable& registers_;
    std::string out_;
    std::vector<Open> open_;
    int line_ = 0;
    uint64_t fillers_ = 0;
};

} // namespace

std::string BuildEffectsLibrary(const std::string& description, const SymbolTable& opcodes,
                                const SymbolTable& registers) {
    return Builder(opcodes, registers).Build(description);
}

std::string BuildEffectsLibrary(const std::string& description) {
    const SymbolTable none;
    return BuildEffectsLibrary(description, none, none);
}
