#include "patch_placement.h"

#include "emu10k1_words.h"
#include "fx8010_alu.h"
#include "hex_number.h"
#include "tram_engine.h"

#include <array>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kZero = 0x040; // the constant 0
constexpr uint32_t kEffectsBus = 0x00;
constexpr uint32_t kOutputs = 0x20;
constexpr std::size_t kRoutes = 16; // effects bus inputs, and external outputs
constexpr uint32_t kGprBase = 0x100;
constexpr uint32_t kTramData = 0x200;
constexpr uint32_t kTramAddress = 0x300;

using Word = Fx8010Words;

Word Encode(uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
    return Fx8010PackInstruction({op, r, a, x, y});
}

// The idle instruction, and the all-zero words of a memory nothing loaded.
bool IsFree(Word w) {
    const Word idle = IdleInstruction();
    return (w.low == idle.low && w.high == idle.high) || (w.low == 0 && w.high == 0);
}

std::array<uint32_t, 4> Operands(Word w) { // R, A, X, Y
    Fx8010Fields f = Fx8010UnpackInstruction(w);
    return {f.r, f.a, f.x, f.y};
}

struct Pool {
    const char* name;
    uint32_t capacity;
    std::vector<uint32_t> freeRegs; // TRAM register indexes, ascending
    uint32_t nextAddress = 0;       // above every address the chip's taps use

    // A chip whose own taps already reach past the pool leaves no room in it.
    uint32_t freeSamples() const { return nextAddress < capacity ? capacity - nextAddress : 0; }
};

class Placer {
  public:
    Placer(const ChipImage& chip, const As10k1Patch& patch)
        : chip_(chip), patch_(patch), out_(chip) {}

    PatchPlacement run() {
        survey();
        gprs();
        if (error_.empty())
            tram();
        if (error_.empty())
            code();
        PatchPlacement result;
        if (error_.empty()) {
            result.image = out_;
            result.summary = summary_;
            result.relocation = map_;
            result.codeStart = codeStart_;
        } else {
            result.error = error_;
        }
        return result;
    }

  private:
    Word word(const ChipImage& image, int i) const {
        return {image.registers[kMicrocodeBase + 2 * i],
                image.registers[kMicrocodeBase + 2 * i + 1]};
    }

    // What the chip's own program uses: operands, outputs, TRAM, code.
    void survey() {
        for (int i = 0; i < kMicrocodeSize; ++i) {
            Word w = word(chip_, i);
            if (!IsFree(w))
                codeEnd_ = i + 1;
            auto ops = Operands(w);
            for (uint32_t op : ops)
                used_[op] = true;
            written_[ops[0]] = true;
        }
        pools_[0] = {"internal", TramEngine::kInternalSamples, {}, 0};
        pools_[1] = {"external", TramEngine::kExternalSamples, {}, 0};
        for (uint32_t n = 0; n < uint32_t(TramEngine::kPooledRegisters); ++n) {
            Pool& pool = pools_[n < uint32_t(TramEngine::kInternalRegisters) ? 0 : 1];
            uint32_t address = chip_.registers[kTramAddress + n];
            if (address & (TramEngine::kRead | TramEngine::kWrite))
                pool.nextAddress =
                    std::max(pool.nextAddress, (address & TramEngine::kAddressMask) + 1);
            if (address == 0 && !used_[kTramData + n] && !used_[kTramAddress + n])
                pool.freeRegs.push_back(n);
        }
    }

    void gprs() {
        std::vector<uint32_t> free;
        for (uint32_t g = kGprBase; g < kTramData; ++g)
            if (!used_[g] && chip_.registers[g] == 0)
                free.push_back(g);
        std::vector<std::pair<uint8_t, uint32_t>> wanted; // patch GPR, initial value
        for (const As10k1Io& io : patch_.io) {
            wanted.push_back({io.in, 0});
            wanted.push_back({io.out, 0});
        }
        for (uint8_t g : patch_.dynamic)
            wanted.push_back({g, 0});
        for (const As10k1Gpr& g : patch_.statics)
            wanted.push_back({g.gpr, g.value});
        for (const As10k1Control& c : patch_.controls)
            wanted.push_back({c.gpr, c.value});
        for (const As10k1Gpr& g : patch_.constants)
            wanted.push_back({g.gpr, g.value});
        if (wanted.size() > free.size()) {
            error_ = "the patch needs " + std::to_string(wanted.size()) + " GPRs; " +
                     std::to_string(free.size()) + " are free";
            return;
        }
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            map_.gpr[wanted[i].first] = free[i];
            out_.registers[free[i]] = wanted[i].second;
        }
        if (!wanted.empty())
            summary_ += "; GPRs " + HexNumber(free[0]) + "-" + HexNumber(free[wanted.size() - 1]);
    }

    void tram() {
        for (const As10k1TramBlock& block : patch_.tables)
            place(block, "lookup table");
        for (const As10k1TramBlock& block : patch_.delays)
            place(block, "delay line");
    }

    void place(const As10k1TramBlock& block, const char* kind) {
        if (!error_.empty())
            return;
        std::size_t taps = block.reads.size() + block.writes.size();
        Pool* pool = nullptr;
        for (Pool& p : pools_)
            if (!pool && p.freeRegs.size() >= taps && block.size <= p.freeSamples())
                pool = &p;
        if (!pool) {
            error_ = std::string("no room for a ") + kind + " of " + std::to_string(block.size) +
                     " samples with " + std::to_string(taps) + " taps: ";
            for (const Pool& p : pools_)
                error_ += std::string(&p == pools_ ? "" : ", ") + p.name + " TRAM has " +
                          std::to_string(p.freeSamples()) + " samples and " +
                          std::to_string(p.freeRegs.size()) + " registers free";
            return;
        }
        uint32_t base = pool->nextAddress;
        pool->nextAddress += block.size;
        summary_ += std::string("; ") + kind + " of " + std::to_string(block.size) +
                    " samples in " + pool->name + " TRAM at " + std::to_string(base) + " (";
        std::size_t next = 0;
        auto tap = [&](const As10k1TramLine& line, uint32_t flag, const char* what) {
            uint32_t n = pool->freeRegs[next++];
            map_.tram[line.reg] = n;
            // Inside the pool, so the address never spills into the flag bits.
            out_.registers[kTramAddress + n] =
                flag | ((base + line.offset) & TramEngine::kAddressMask);
            out_.registers[kTramData + n] = 0;
            summary_ += std::string(next > 1 ? ", " : "") + what + " " + HexNumber(kTramData + n) +
                        " at " + std::to_string(line.offset);
        };
        for (const As10k1TramLine& line : block.writes)
            tap(line, TramEngine::kWrite, "write");
        for (const As10k1TramLine& line : block.reads)
            tap(line, TramEngine::kRead, "read");
        pool->freeRegs.erase(pool->freeRegs.begin(), pool->freeRegs.begin() + long(next));
        summary_ += ")";
    }

    uint32_t relocate(uint32_t operand) const { return map_.Relocate(operand); }

    void code() {
        if (patch_.io.size() > kRoutes) {
            error_ = "the patch has " + std::to_string(patch_.io.size()) +
                     " input/output pairs; the effects bus has " + std::to_string(kRoutes);
            return;
        }
        std::vector<Word> words;
        for (std::size_t k = 0; k < patch_.io.size(); ++k)
            words.push_back(
                Encode(fx8010::kAcc3, map_.gpr[patch_.io[k].in], kEffectsBus + k, kZero, kZero));
        for (const As10k1Instruction& instr : patch_.code) {
            Fx8010Fields f = Fx8010UnpackInstruction({instr.low, instr.high});
            words.push_back(
                Encode(f.opcode, relocate(f.r), relocate(f.a), relocate(f.x), relocate(f.y)));
        }
        // Added to what the chip's own program wrote to the output this sample.
        for (std::size_t k = 0; k < patch_.io.size(); ++k) {
            uint32_t output = kOutputs + uint32_t(k), result = map_.gpr[patch_.io[k].out];
            words.push_back(written_[output] ? Encode(fx8010::kAcc3, output, output, result, kZero)
                                             : Encode(fx8010::kAcc3, output, result, kZero, kZero));
        }
        if (codeEnd_ + words.size() > std::size_t(kMicrocodeSize)) {
            // The wiring is the loader's: as10k1 counted only the patch's own.
            const std::size_t pairs = patch_.io.size();
            error_ = "the patch needs " + std::to_string(words.size()) + " instructions";
            if (pairs > 0)
                error_ += " (" + std::to_string(patch_.code.size()) + " of its own, " +
                          std::to_string(2 * pairs) + " to wire its " + std::to_string(pairs) +
                          (pairs == 1 ? " input/output pair)" : " input/output pairs)");
            error_ += "; " + std::to_string(kMicrocodeSize - codeEnd_) + " are free";
            return;
        }
        codeStart_ = uint32_t(codeEnd_ + patch_.io.size());
        for (std::size_t i = 0; i < words.size(); ++i) {
            out_.registers[kMicrocodeBase + 2 * (codeEnd_ + i)] = words[i].low;
            out_.registers[kMicrocodeBase + 2 * (codeEnd_ + i) + 1] = words[i].high;
        }
        std::string where = "patch '" + patch_.name + "': instructions " +
                            std::to_string(codeEnd_) + "-" +
                            std::to_string(codeEnd_ + words.size() - 1);
        if (!patch_.io.empty())
            where += ", effects bus 0-" + std::to_string(patch_.io.size() - 1) + " in, outputs " +
                     HexNumber(kOutputs) + "-" +
                     HexNumber(kOutputs + uint32_t(patch_.io.size()) - 1) + " out";
        summary_ = where + summary_;
    }

    const ChipImage& chip_;
    const As10k1Patch& patch_;
    ChipImage out_;
    std::string error_, summary_;
    std::array<bool, 0x400> used_{};
    std::array<bool, 0x400> written_{};
    std::size_t codeEnd_ = 0;
    uint32_t codeStart_ = 0;
    Pool pools_[2];
    PatchRelocation map_;
};

} // namespace

uint32_t PatchRelocation::Relocate(uint32_t operand) const {
    if (operand >= kTramAddress)
        return kTramAddress + tram[operand & 0xFF];
    if (operand >= kTramData)
        return kTramData + tram[operand & 0xFF];
    if (operand >= kGprBase)
        return gpr[operand - kGprBase];
    return operand;
}

PatchPlacement PlacePatch(const ChipImage& chip, const As10k1Patch& patch) {
    return Placer(chip, patch).run();
}
