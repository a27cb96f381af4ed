#include "fx8010_engines_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t C0 = 0x40, CMax = 0x4F, kCcr = 0x57, kDbg = fx8010dbg::kRegister;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", value);
    return text;
}

// "" or the first index at which fast and reference differ, with both values.
template <class Value>
std::string FirstDifference(const std::string& what, const Value* fast, const Value* reference,
                            std::size_t count) {
    if (std::equal(fast, fast + count, reference)) // a memcmp, also in a debug build
        return "";
    const auto [at, other] = std::mismatch(fast, fast + count, reference);
    return what + " " + Hex(uint32_t(at - fast)) + ": fast " + Hex(uint32_t(*at)) + ", reference " +
           Hex(uint32_t(*other));
}

// The bytes one at a time, then zeros: every input is a whole case.
class Reader {
  public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    uint32_t Below(uint32_t n) { return (at_ < bytes_.size() ? uint8_t(bytes_[at_++]) : 0) % n; }
    uint32_t Word() {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i)
            word = word << 8 | Below(256);
        return word;
    }
    bool Done() const { return at_ >= bytes_.size(); }

  private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

// Few GPRs, so that operands alias; the accumulator, the codes, noise, the
// counter, and TRAM registers of both pools.
uint32_t Operand(Reader& in) {
    static constexpr uint16_t kSpecial[] = {0x56,  0x57,  0x58,  0x5B,  0x5A,  0x00, 0x20,
                                            0x200, 0x201, 0x280, 0x281, 0x300, 0x380};
    switch (in.Below(4)) {
    case 0:
        return C0 + in.Below(22);
    case 1:
        return kSpecial[in.Below(std::size(kSpecial))];
    default:
        return 0x100 + in.Below(8);
    }
}

uint32_t Value(Reader& in) {
    static constexpr uint32_t kEdges[] = {0, 1, 2, 0x1F, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    return in.Below(2) ? in.Word() : kEdges[in.Below(std::size(kEdges))];
}

// Returns the program's length: constant no-ops that fold, SKIPs on the
// codes as a mixer's program uses them, anything else, R often one of the
// operands; then idle instructions, or a SKIP past the end.
int Program(Reader& in, EngineTwins& t) {
    const int length = 4 + int(in.Below(124));
    for (int i = 0; i < length; ++i) {
        uint32_t op = in.Below(16), a = Operand(in), x = Operand(in), y = Operand(in);
        switch (in.Below(6)) {
        case 0: {
            const uint32_t ca = C0 + in.Below(22), cx = C0 + in.Below(22), cy = C0 + in.Below(22);
            t.Instr(i, op % 7, C0, ca, cx, cy);
            continue;
        }
        case 1: // a test word and a count mostly constant, A the codes or a GPR
            op = fx8010::kSkip;
            a = in.Below(2) ? kCcr : a;
            x = in.Below(4) ? 0x44 + in.Below(12) : x;
            y = in.Below(4) ? C0 + in.Below(16) : y;
            break;
        }
        const uint32_t operands[] = {a, x, y, Operand(in)};
        t.Instr(i, op, operands[in.Below(4)], a, x, y);
    }
    if (in.Below(2))
        t.Instr(length, fx8010::kSkip, C0, CMax, CMax, CMax);
    for (uint32_t r = 0x100; r < 0x108; ++r)
        t.Set(r, Value(in));
    for (uint32_t r : {0x300u, 0x301u, 0x380u, 0x381u}) {
        const uint32_t flag = in.Below(2) ? TramEngine::kRead : TramEngine::kWrite;
        t.Set(r, flag | in.Below(64));
    }
    return length;
}

// One step of the script on both engines, and what they returned if it
// differed.
std::string Step(Reader& in, EngineTwins& t, int length) {
    switch (in.Below(8)) {
    case 0: {
        const int samples = 1 + int(in.Below(3)), block = 1 + int(in.Below(3));
        return t.Run(samples, block);
    }
    case 1: { // a host write between blocks: a GPR, or a TRAM data register
        const uint32_t reg = in.Below(2) ? 0x100 + in.Below(8) : 0x200 + 0x80 * in.Below(2);
        t.Set(reg, Value(in));
        return "";
    }
    case 2: // a step, possibly in the middle of a sample
        t.Set(kDbg, fx8010dbg::kSingleStep | fx8010dbg::kStep | in.Below(uint32_t(length) + 2));
        return t.Run(1);
    case 3:
        t.Set(kDbg, fx8010dbg::kSingleStep | (in.Below(2) ? fx8010dbg::kZeroCounter : 0));
        return t.Run(1);
    case 4:
        t.Set(kDbg, in.Below(4) ? 0 : fx8010dbg::kZeroCounter);
        return "";
    case 5: {
        DebugTargets targets;
        if (in.Below(2))
            targets.breaks.push_back(in.Below(uint32_t(length) + 2));
        if (in.Below(2))
            targets.watches.push_back(in.Below(2) ? 0x100 + in.Below(8) : 0x200);
        targets.when = {DebugCondition::Kind(in.Below(5)), int32_t(Value(in))};
        targets.saturation = in.Below(4) == 0;
        const int64_t samples = 1 + in.Below(2);
        const bool passFirst = in.Below(2);
        std::array<uint64_t, 6> stop[2];
        for (int e = 0; e < 2; ++e) {
            const DebugStop s = t.dsp[e].RunUntil(t.chip[e], targets, samples, passFirst);
            stop[e] = {uint64_t(s.why),    s.address,         s.reg,
                       uint32_t(s.before), uint32_t(s.after), s.sample};
        }
        return FirstDifference("stop (why, address, reg, before, after, sample)", stop[0].data(),
                               stop[1].data(), 6);
    }
    case 6: {
        const int samples = 1 + int(in.Below(2));
        for (int e = 0; e < 2; ++e)
            t.dsp[e].Advance(t.chip[e], samples);
        return "";
    }
    default: { // the host rewrites an instruction
        const int i = int(in.Below(uint32_t(length)));
        const uint32_t op = in.Below(16), r = Operand(in), a = Operand(in), x = Operand(in),
                       y = Operand(in);
        t.Instr(i, op, r, a, x, y);
        return "";
    }
    }
}

} // namespace

EngineTwins::EngineTwins(const ChipImage& image) {
    for (int e = 0; e < 2; ++e) {
        dsp[e].SetEngine(e ? Fx8010Engine::kReference : Fx8010Engine::kFast);
        dsp[e].SetSampleObserver(&log[e]);
    }
    Reset(image);
}

void EngineTwins::Reset(const ChipImage& image) {
    for (int e = 0; e < 2; ++e) {
        chip[e] = image;
        dsp[e].Reset();
        log[e].saturations.clear();
    }
}

void EngineTwins::Set(uint32_t reg, uint32_t value) {
    chip[0].registers[reg] = chip[1].registers[reg] = value;
}

void EngineTwins::Instr(int i, uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
    const Fx8010Words w = Fx8010PackInstruction({op, r, a, x, y});
    Set(kMicrocodeBase + 2 * uint32_t(i), w.low);
    Set(kMicrocodeBase + 2 * uint32_t(i) + 1, w.high);
}

std::string EngineTwins::Run(int samples, int block) {
    std::vector<int32_t> out[2];
    int ran[2] = {};
    for (int e = 0; e < 2; ++e) {
        out[e].resize(std::size_t(samples) * DspBlockIo::kOutputs);
        for (int done = 0; done < samples; done += block)
            ran[e] += dsp[e].Run(chip[e], std::min(block, samples - done),
                                 {out[e].data() + std::size_t(done) * DspBlockIo::kOutputs});
    }
    std::string differs =
        FirstDifference("output value", out[0].data(), out[1].data(), out[0].size());
    return differs.empty() ? FirstDifference("samples run", &ran[0], &ran[1], 1) : differs;
}

std::string EngineTwins::Difference(bool tram) const {
    const Fx8010Interpreter &f = dsp[0], &r = dsp[1];
    std::string differs = FirstDifference("register", chip[0].registers.data(),
                                          chip[1].registers.data(), kChipRegisterCount);
    if (differs.empty())
        differs = FirstDifference("operand", f.operands(), r.operands(), 0x400);
    std::array<uint64_t, 6> state[2];
    for (int e = 0; e < 2; ++e)
        state[e] = {uint64_t(dsp[e].accumulator()),
                    uint64_t(dsp[e].accumulator() >> 64),
                    dsp[e].pc(),
                    dsp[e].samples(),
                    uint32_t(dsp[e].saturatedInSample()),
                    log[e].saturations.size()};
    if (differs.empty())
        differs = FirstDifference("state (accumulator low, high, pc, samples, saturation, heard)",
                                  state[0].data(), state[1].data(), 6);
    if (differs.empty())
        differs = FirstDifference("first saturation of sample", log[0].saturations.data(),
                                  log[1].saturations.data(), log[0].saturations.size());
    for (bool external : {false, true})
        if (tram && differs.empty())
            differs = FirstDifference(
                external ? "external sample" : "internal sample", f.tram().pool(external).data(),
                r.tram().pool(external).data(), f.tram().pool(external).size());
    return differs;
}

std::string CheckEnginesAgree(const std::string& bytes, EngineTwins& t) {
    Reader in(bytes);
    t.Reset(EmptyChipImage());
    const int length = Program(in, t);
    for (int step = 0; !in.Done(); ++step) {
        std::string differs = Step(in, t, length);
        if (differs.empty())
            differs = t.Difference(false);
        if (!differs.empty())
            return "step " + std::to_string(step) + ": " + differs;
    }
    return t.Difference();
}

#ifdef VELMORA_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    EngineTwins twins{ChipImage{}};
    if (!CheckEnginesAgree(std::string(reinterpret_cast<const char*>(data), size), twins).empty())
        std::abort();
    return 0;
}
#endif
