#include "as10k1_patch.h"

#include "checked_file.h"
#include "emu10k1_words.h"
#include "hex_number.h"

#include <array>
#include <cstdio>

namespace {

constexpr std::size_t kNameSize = 32;
constexpr uint32_t kMaxBlockSize = 0x100000; // the 20-bit TRAM address space

// Reads little-endian fields; the first shortfall is remembered with the
// part of the file being read.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    void part(const char* name) { part_ = name; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    std::size_t left() const { return bytes_.size() - pos_; }

    uint32_t u8() { return number(1); }
    uint32_t u16() { return number(2); }
    uint32_t u32() { return number(4); }
    std::string_view bytes(std::size_t n) {
        if (!need(n))
            return {};
        std::string_view out = bytes_.substr(pos_, n);
        pos_ += n;
        return out;
    }

  private:
    bool need(std::size_t n) {
        if (failed())
            return false;
        if (left() >= n)
            return true;
        error_ = "the file ends inside " + std::string(part_) + " (at byte " +
                 std::to_string(bytes_.size()) + ")";
        return false;
    }
    uint32_t number(std::size_t n) {
        if (!need(n))
            return 0;
        uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= uint32_t(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
        pos_ += n;
        return v;
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    const char* part_ = "the header";
    std::string error_;
};

// An ASCIIZ field, with bytes that are not printable shown as '?'.
std::string Text(std::string_view field) {
    std::string out;
    for (char c : field) {
        if (c == '\0')
            break;
        unsigned char u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u >= 0x7F) ? '?' : c;
    }
    return out;
}

class PatchParser {
  public:
    explicit PatchParser(std::string_view bytes) : in_(bytes) {}

    As10k1PatchResult run() {
        As10k1PatchResult result;
        if (!in_.bytes(kAs10k1Signature.size()).starts_with(kAs10k1Signature) || in_.failed()) {
            result.error = "not an as10k1 patch: it does not start with \"" +
                           std::string(kAs10k1Signature) + "\"";
            return result;
        }
        fields();
        if (error_.empty() && in_.failed())
            error_ = in_.error();
        if (error_.empty() && in_.left() > 0)
            error_ = std::to_string(in_.left()) + " stray bytes after the last instruction";
        if (error_.empty())
            checkCode();
        if (!error_.empty()) {
            result.error = error_;
            return result;
        }
        result.patch = std::move(patch_);
        return result;
    }

  private:
    void fields() {
        in_.part("the name");
        patch_.name = Text(in_.bytes(kNameSize));
        in_.part("the input/output list");
        for (uint32_t n = in_.u8(); n > 0 && !in_.failed(); --n) {
            As10k1Io io{uint8_t(in_.u8()), uint8_t(in_.u8())};
            declareGpr(io.in);
            declareGpr(io.out);
            patch_.io.push_back(io);
        }
        in_.part("the dynamic GPRs");
        for (uint32_t n = in_.u8(); n > 0 && !in_.failed(); --n) {
            patch_.dynamic.push_back(uint8_t(in_.u8()));
            declareGpr(patch_.dynamic.back());
        }
        in_.part("the static GPRs");
        valuedGprs(patch_.statics);
        in_.part("the control GPRs");
        for (uint32_t n = in_.u8(); n > 0 && !in_.failed(); --n) {
            As10k1Control c;
            c.gpr = uint8_t(in_.u8());
            c.value = in_.u32();
            c.min = in_.u32();
            c.max = in_.u32();
            c.name = Text(in_.bytes(kNameSize));
            declareGpr(c.gpr);
            patch_.controls.push_back(c);
        }
        in_.part("the constant GPRs");
        valuedGprs(patch_.constants);
        in_.part("the lookup tables");
        blocks(patch_.tables, "lookup table");
        in_.part("the delay lines");
        blocks(patch_.delays, "delay line");
        in_.part("the instructions");
        uint32_t count = in_.u16();
        for (uint32_t i = 0; i < count && !in_.failed(); ++i) {
            As10k1Instruction instr;
            instr.low = in_.u32();
            instr.high = in_.u32();
            patch_.code.push_back(instr);
        }
    }

    void valuedGprs(std::vector<As10k1Gpr>& list) {
        for (uint32_t n = in_.u8(); n > 0 && !in_.failed(); --n) {
            As10k1Gpr g;
            g.gpr = uint8_t(in_.u8());
            g.value = in_.u32();
            declareGpr(g.gpr);
            list.push_back(g);
        }
    }

    void blocks(std::vector<As10k1TramBlock>& list, const char* kind) {
        for (uint32_t n = in_.u8(); n > 0 && !in_.failed(); --n) {
            As10k1TramBlock block;
            block.size = in_.u32();
            taps(block.reads);
            taps(block.writes);
            if (in_.failed())
                return;
            if (block.size == 0 || block.size > kMaxBlockSize)
                fail(std::string("a ") + kind + " of " + std::to_string(block.size) +
                     " samples; expected 1 to " + std::to_string(kMaxBlockSize));
            for (const auto* lines : {&block.reads, &block.writes})
                for (const As10k1TramLine& line : *lines) {
                    declareTram(line.reg);
                    if (line.offset >= block.size)
                        fail("a tap at " + std::to_string(line.offset) + " lies outside its " +
                             kind + " of " + std::to_string(block.size) + " samples");
                }
            list.push_back(std::move(block));
        }
    }

    void taps(std::vector<As10k1TramLine>& lines) {
        for (uint32_t n = in_.u8(); n > 0 && !in_.failed(); --n) {
            As10k1TramLine line;
            line.reg = uint8_t(in_.u8());
            line.offset = in_.u32();
            lines.push_back(line);
        }
    }

    void declareGpr(uint8_t gpr) {
        if (in_.failed())
            return;
        if (gprs_[gpr])
            fail("GPR " + HexNumber(0x100 + gpr, 1) + " is declared twice");
        gprs_[gpr] = true;
    }

    void declareTram(uint8_t reg) {
        if (tram_[reg])
            fail("TRAM register " + std::to_string(reg) + " is declared twice");
        tram_[reg] = true;
    }

    void checkCode() {
        for (std::size_t i = 0; i < patch_.code.size() && error_.empty(); ++i) {
            const As10k1Instruction& instr = patch_.code[i];
            std::string where = "instruction " + std::to_string(i);
            if (instr.low > 0xFFFFF || instr.high > 0xFFFFFF) {
                fail(where + " has bits outside its fields");
                return;
            }
            Fx8010Fields f = Fx8010UnpackInstruction({instr.low, instr.high});
            for (uint32_t operand : {f.r, f.a, f.x, f.y}) {
                if (operand >= 0x100 && operand < 0x200 && !gprs_[operand - 0x100])
                    fail(where + " uses GPR " + HexNumber(operand, 1) +
                         ", which the patch does not declare");
                else if (operand >= 0x200 && !tram_[operand & 0xFF])
                    fail(where + " uses TRAM register " + std::to_string(operand & 0xFF) +
                         ", which no delay line or table declares");
            }
        }
    }

    void fail(std::string message) {
        if (error_.empty())
            error_ = std::move(message);
    }

    Reader in_;
    As10k1Patch patch_;
    std::array<bool, 256> gprs_{};
    std::array<bool, 256> tram_{};
    std::string error_;
};

} // namespace

As10k1PatchResult ParseAs10k1Patch(std::string_view bytes) {
    return PatchParser(bytes).run();
}

As10k1PatchResult LoadAs10k1PatchFile(const std::string& path) {
    As10k1PatchResult result;
    std::optional<std::string> bytes = ReadCheckedFile(path, kMaxAs10k1PatchBytes, &result.error);
    if (bytes)
        result = ParseAs10k1Patch(*bytes);
    return result;
}
