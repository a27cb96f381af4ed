#include "as10k1_names.h"

#include "checked_file.h"
#include "emu10k1_words.h"
#include "hex_number.h"
#include "trimmed_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// "0x1a4" as the dump prints numbers.
std::optional<uint32_t> Hex(std::string_view s) {
    s = Trimmed(s);
    if (!StartsWith(s, "0x"))
        return std::nullopt;
    s.remove_prefix(2);
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty())
        return std::nullopt;
    return value;
}

// The text between `key` and the next comma (or the line's end).
std::string_view Field(std::string_view line, std::string_view key) {
    std::size_t at = line.find(key);
    if (at == std::string_view::npos)
        return {};
    std::string_view rest = line.substr(at + key.size());
    return Trimmed(rest.substr(0, rest.find(',')));
}

std::string Unquoted(std::string_view s) {
    s = Trimmed(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
    return std::string(s);
}

// Whether a name is one is judged where it is published; here it only has to be there.
bool UsableName(std::string_view name) {
    return !name.empty();
}

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    As10k1NamesResult run() {
        std::size_t start = 0;
        while (start < text_.size() && error_.empty()) {
            std::size_t end = text_.find('\n', start);
            if (end == std::string_view::npos)
                end = text_.size();
            ++line_;
            parse(Trimmed(text_.substr(start, end - start)));
            start = end + 1;
        }
        As10k1NamesResult result;
        if (!error_.empty())
            result.error = error_;
        else if (!sawName_)
            result.error = "it is not an as10k1 dump (no \"Patch name:\" line)";
        else
            result.names = names_;
        return result;
    }

  private:
    void parse(std::string_view line) {
        if (StartsWith(line, "Patch name:")) {
            names_.patchName = Unquoted(line.substr(11));
            sawName_ = true;
        } else if (StartsWith(line, "GPR:")) {
            gpr(Trimmed(line.substr(4)));
        } else if (StartsWith(line, "Delay Line:") || StartsWith(line, "Lookup Table:")) {
            std::string_view rest = Trimmed(line.substr(line.find(':') + 1));
            names_.blocks.push_back(std::string(Trimmed(rest.substr(0, rest.find(',')))));
        } else if (StartsWith(line, "TRAM Access:")) {
            access(Trimmed(line.substr(12)));
        } else if (StartsWith(line, "0x")) {
            instruction(line);
        }
    }

    // "left 0x100 Value=0x00000000, Type: Input"
    void gpr(std::string_view rest) {
        std::size_t space = rest.find_first_of(" \t");
        std::string_view name = rest.substr(0, space);
        std::string_view after = space == std::string_view::npos ? "" : Trimmed(rest.substr(space));
        auto address = Hex(after.substr(0, after.find_first_of(" \t")));
        std::string_view kind = Field(rest, "Type:");
        if (!UsableName(name) || !address || *address < 0x100 || *address > 0x1FF || kind.empty())
            return fail("a GPR line needs a name, an address 0x100 to 0x1FF and a type");
        names_.gprs.push_back({std::string(name), *address, std::string(kind)});
    }

    // "cw , type: Write, using 0x300/0x200, offset:0x0000000, in segment: \"chor\""
    void access(std::string_view rest) {
        std::string_view name = Trimmed(rest.substr(0, rest.find(',')));
        std::string_view type = Field(rest, "type:");
        std::string_view using_ = Field(rest, "using");
        std::size_t slash = using_.find('/');
        auto address = Hex(using_.substr(0, slash));
        std::optional<uint32_t> data;
        if (slash != std::string_view::npos)
            data = Hex(using_.substr(slash + 1));
        if (!UsableName(name) || (type != "Write" && type != "Read") || !address || !data ||
            *address < 0x300 || *address > 0x3FF || *data != *address - 0x100)
            return fail("a TRAM access line needs a name, a type and its registers");
        std::string_view block = Field(rest, "in segment:");
        names_.accesses.push_back(
            {std::string(name), type == "Write", *address, *data, Unquoted(block)});
    }

    // "0x004\tMACS(0)  \t0x10c,0x105,0x106,0x10a": R, A, X, Y
    void instruction(std::string_view line) {
        std::size_t open = line.find('('), close = line.find(')');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open)
            return; // not an instruction line
        uint32_t opcode = 0;
        std::string_view digits = line.substr(open + 1, close - open - 1);
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), opcode);
        std::string_view operands = Trimmed(line.substr(close + 1));
        uint32_t field[4];
        int count = 0;
        while (count < 4 && !operands.empty()) {
            std::size_t comma = operands.find(',');
            auto value = Hex(operands.substr(0, comma));
            if (!value || *value > 0x3FF)
                break;
            field[count++] = *value;
            operands = comma == std::string_view::npos ? "" : operands.substr(comma + 1);
        }
        if (ec != std::errc() || end != digits.data() + digits.size() || opcode > 15 ||
            count != 4 || !Trimmed(operands).empty())
            return fail("an instruction line needs an opcode and four operands R, A, X, Y");
        names_.code.push_back({opcode, field[0], field[1], field[2], field[3]});
    }

    void fail(const std::string& what) { error_ = "line " + std::to_string(line_) + ": " + what; }

    std::string_view text_;
    int line_ = 0;
    bool sawName_ = false;
    std::string error_;
    As10k1Names names_;
};

// Why a GPR or TRAM access of the dump is not one the patch has ("" when it is).
std::string AddressMismatch(const As10k1Names& names, const As10k1Patch& patch) {
    std::string kinds[256];
    for (const As10k1Io& io : patch.io) {
        kinds[io.in] = "Input";
        kinds[io.out] = "Output";
    }
    for (uint8_t g : patch.dynamic)
        kinds[g] = "Dynamic";
    for (const As10k1Gpr& g : patch.statics)
        kinds[g.gpr] = "Static";
    for (const As10k1Control& c : patch.controls)
        kinds[c.gpr] = "Control";
    for (const As10k1Gpr& g : patch.constants)
        kinds[g.gpr] = "Constant";
    for (const As10k1NamedGpr& g : names.gprs) {
        const std::string& kind = kinds[g.address - 0x100];
        if (kind != g.kind)
            return "its " + g.kind + " GPR '" + g.name + "' is at " + HexNumber(g.address) +
                   (kind.empty() ? ", which the patch does not have"
                                 : ", the patch's " + kind + " GPR");
    }
    // 0 no tap, 1 a read, 2 a write.
    int taps[256] = {};
    for (const auto* blocks : {&patch.tables, &patch.delays})
        for (const As10k1TramBlock& b : *blocks) {
            for (const As10k1TramLine& line : b.reads)
                taps[line.reg] = 1;
            for (const As10k1TramLine& line : b.writes)
                taps[line.reg] = 2;
        }
    for (const As10k1NamedAccess& a : names.accesses) {
        const int tap = taps[a.addressRegister - 0x300];
        if (tap != (a.write ? 2 : 1))
            return "its TRAM " + std::string(a.write ? "write" : "read") + " '" + a.name +
                   "' uses " + HexNumber(a.addressRegister) + "/" + HexNumber(a.dataRegister) +
                   (tap == 0 ? ", which the patch does not have"
                             : ", the patch's TRAM " + std::string(tap == 1 ? "read" : "write"));
    }
    return "";
}

std::size_t CountKind(const As10k1Names& names, std::string_view kind) {
    return std::size_t(std::count_if(names.gprs.begin(), names.gprs.end(),
                                     [&](const As10k1NamedGpr& g) { return g.kind == kind; }));
}

} // namespace

As10k1NamesResult ParseAs10k1Names(std::string_view text) {
    return Parser(text).run();
}

As10k1NamesResult LoadAs10k1NamesFile(const std::string& path) {
    As10k1NamesResult result;
    std::optional<std::string> text = ReadCheckedFile(path, kMaxAs10k1NamesBytes, &result.error);
    if (text)
        result = ParseAs10k1Names(*text);
    return result;
}

std::string NamesMismatch(const As10k1Names& names, const As10k1Patch& patch) {
    // The patch file keeps 31 bytes of the name.
    if (patch.name.empty() || names.patchName.compare(0, patch.name.size(), patch.name) != 0 ||
        (names.patchName.size() != patch.name.size() && patch.name.size() < 31))
        return "it names patch '" + names.patchName + "', the patch file '" + patch.name + "'";
    struct Kind {
        const char* name;
        std::size_t inPatch;
    } kinds[] = {{"Input", patch.io.size()},         {"Output", patch.io.size()},
                 {"Dynamic", patch.dynamic.size()},  {"Static", patch.statics.size()},
                 {"Control", patch.controls.size()}, {"Constant", patch.constants.size()}};
    for (const Kind& k : kinds)
        if (CountKind(names, k.name) != k.inPatch)
            return "it has " + std::to_string(CountKind(names, k.name)) + " " + k.name +
                   " GPRs, the patch " + std::to_string(k.inPatch);
    for (const As10k1Control& c : patch.controls) {
        auto it = std::find_if(names.gprs.begin(), names.gprs.end(), [&](const As10k1NamedGpr& g) {
            return g.address == 0x100u + c.gpr;
        });
        if (it == names.gprs.end() || it->kind != "Control" || it->name != c.name)
            return "control GPR " + HexNumber(0x100u + c.gpr) + " is '" + c.name +
                   "' in the patch" +
                   (it == names.gprs.end() ? std::string(" and missing from it")
                                           : ", '" + it->name + "' in it");
    }
    if (std::string wrong = AddressMismatch(names, patch); !wrong.empty())
        return wrong;
    std::size_t taps = 0;
    for (const auto* blocks : {&patch.tables, &patch.delays})
        for (const As10k1TramBlock& b : *blocks)
            taps += b.reads.size() + b.writes.size();
    if (names.accesses.size() != taps)
        return "it has " + std::to_string(names.accesses.size()) + " TRAM accesses, the patch " +
               std::to_string(taps);
    if (names.code.size() != patch.code.size())
        return "it has " + std::to_string(names.code.size()) + " instructions, the patch " +
               std::to_string(patch.code.size());
    for (std::size_t i = 0; i < patch.code.size(); ++i) {
        Fx8010Fields f = Fx8010UnpackInstruction({patch.code[i].low, patch.code[i].high});
        const As10k1NamedInstruction& n = names.code[i];
        if (f.opcode != n.opcode || f.r != n.r || f.a != n.a || f.x != n.x || f.y != n.y)
            return "instruction " + std::to_string(i) + " differs from the patch's";
    }
    return "";
}
