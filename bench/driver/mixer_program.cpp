#include "mixer_program.h"

#include "fx8010_alu.h"

#include <vector>

namespace {

using namespace fx8010;

// Operands: constants by the value they hold, and the DSP's own registers.
constexpr uint32_t C0 = 0x40, C1 = 0x41, C4 = 0x44, C8 = 0x45, C10 = 0x46, C100 = 0x48, CMax = 0x4F,
                   CAll = 0x50;
constexpr uint32_t kAccu = 0x56, kCcr = 0x57, kDbac = 0x5B;
// SKIP's test words, as the constants that hold them.
constexpr uint32_t kZero = C8, kNonZero = C100, kMinus = C4, kAlways = CMax;
constexpr uint32_t kExternalData = 0x280, kExternalAddress = 0x380;
constexpr uint32_t kSmallCounts[][2] = {{1, C1}, {2, 0x42}, {3, 0x43},
                                        {4, C4}, {8, C8},   {0x10, C10}};

class Builder {
  public:
    Builder() : chip_(EmptyChipImage()) {}

    void Op(uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
        const Fx8010Words w = Fx8010PackInstruction({op, r, a, x, y});
        chip_.registers[kMicrocodeBase + 2 * at_] = w.low;
        chip_.registers[kMicrocodeBase + 2 * at_ + 1] = w.high;
        ++counts_[op];
        ++at_;
    }
    // A GPR of its own, starting at value.
    uint32_t Gpr(uint32_t value = 0) {
        chip_.registers[next_] = value;
        return next_++;
    }
    // A SKIP to a label placed later: its count is a constant when one holds
    // it, else a GPR, as a hand-written program does.
    int SkipTo(uint32_t r, uint32_t a, uint32_t test) {
        skips_.push_back({at_, r, a, test});
        Op(kSkip, r, a, test, C0);
        return int(skips_.size()) - 1;
    }
    void Place(int skip) {
        const Pending& s = skips_[size_t(skip)];
        const uint32_t count = uint32_t(at_ - s.at - 1);
        uint32_t y = 0;
        for (const auto& [value, constant] : kSmallCounts)
            if (value == count)
                y = constant;
        if (y == 0)
            y = Gpr(count);
        const Fx8010Words w = Fx8010PackInstruction({kSkip, s.r, s.a, s.test, y});
        chip_.registers[kMicrocodeBase + 2 * s.at] = w.low;
        chip_.registers[kMicrocodeBase + 2 * s.at + 1] = w.high;
    }
    int count(uint32_t op) const { return counts_[op]; }
    int at() const { return at_; }
    ChipImage& chip() { return chip_; }

  private:
    struct Pending {
        int at;
        uint32_t r, a, test;
    };
    ChipImage chip_;
    int at_ = 0;
    uint32_t next_ = 0x100;
    int counts_[16] = {};
    std::vector<Pending> skips_;
};

// dst = src * vol, or a plain copy at full volume.
void Volume(Builder& b, uint32_t dst, uint32_t src, uint32_t vol) {
    b.Op(kMacs, dst, C0, src, vol);
    b.Op(kAndxor, C0, vol, CAll, CMax); // zero when vol is full
    b.Op(kSkip, kCcr, kCcr, kNonZero, C1);
    b.Op(kAcc3, dst, src, C0, C0);
}

// dst += src * vol, added whole at full volume.
void VolumeAdd(Builder& b, uint32_t dst, uint32_t src, uint32_t vol) {
    b.Op(kAndxor, C0, vol, CAll, CMax);
    int scaled = b.SkipTo(kCcr, kCcr, kNonZero);
    b.Op(kMacints, dst, dst, src, C1);
    int done = b.SkipTo(C0, CMax, kAlways);
    b.Place(scaled);
    b.Op(kMacs, dst, dst, src, vol);
    b.Place(done);
}

// An output: dst = src * vol, copied at full volume.
void VolumeOut(Builder& b, uint32_t dst, uint32_t src, uint32_t vol) {
    b.Op(kAndxor, C0, vol, CAll, CMax);
    int scaled = b.SkipTo(kCcr, kCcr, kNonZero);
    b.Op(kAcc3, dst, src, C0, C0);
    int done = b.SkipTo(C0, CMax, kAlways);
    b.Place(scaled);
    b.Op(kMacs, dst, C0, src, vol);
    b.Place(done);
}

void Switch(Builder& b, uint32_t dst, uint32_t src, uint32_t on) {
    b.Op(kMacints, dst, C0, src, on);
}

// A stream to external TRAM, started by a trigger flag once the delay base
// counter reaches a boundary, its two taps moved with the counter.
void Stream(Builder& b) {
    const uint32_t trigger = b.Gpr(1), running = b.Gpr(1), t0 = b.Gpr(), t3 = b.Gpr();
    const uint32_t low5 = b.Gpr(0x1F << 11), boundary = b.Gpr(0x1C << 11);
    const uint32_t high = b.Gpr(0xFFFFF000), seven = b.Gpr(7), m1 = b.Gpr(0xFFFF0000),
                   m2 = b.Gpr(0x70000000);
    const uint32_t ptr = b.Gpr(), size = b.Gpr(0x8000), left = b.Gpr(), right = b.Gpr();
    const uint32_t base0 = b.Gpr(0x2000000 + (2 << 11)), base1 = b.Gpr(0x4000000 + (2 << 11));
    b.Op(kMacs, C0, trigger, C0, C0);
    const int idle = b.SkipTo(kCcr, kCcr, kZero);
    b.Op(kMacs, C0, running, C0, C0);
    const int run = b.SkipTo(kCcr, kCcr, kNonZero);
    b.Op(kAndxor, t0, kDbac, low5, C0);
    b.Op(kMacints, C0, t0, CAll, boundary);
    const int waiting = b.SkipTo(kCcr, kCcr, kNonZero);
    b.Op(kAcc3, t3, C10, C1, C0);
    b.Op(kAndxor, running, running, C0, C1);
    const int started = b.SkipTo(C0, CMax, kAlways);
    b.Place(run);
    for (uint32_t side = 0; side < 2; ++side) {
        const uint32_t out = side ? right : left;
        b.Op(kAndxor, t0, kExternalData + side, high, C0);
        b.Op(kLog, t0, t0, seven, C0);
        b.Op(kAndxor, out, t0, m1, m2);
        b.Op(kSkip, C0, kCcr, kMinus, C1);
        b.Op(kAndxor, out, out, m1, m2);
    }
    b.Op(kAcc3, t0, ptr, C1, C0);
    b.Op(kMacints, C0, t0, CAll, size);
    b.Op(kSkip, kCcr, kCcr, kMinus, C1);
    b.Op(kAcc3, t0, C0, C0, C0);
    b.Op(kAcc3, ptr, t0, C0, C0);
    for (int skip : {idle, waiting, started})
        b.Place(skip);
    b.Op(kMacintw, kExternalAddress, base0, kDbac, CAll);
    b.Op(kMacintw, kExternalAddress + 1, base1, kDbac, CAll);
    b.chip().registers[kExternalAddress] = 0x00100000;     // read
    b.chip().registers[kExternalAddress + 1] = 0x00100000; // read
}

// Bass then treble on dst: each a biquad of MACMVs summed in the
// accumulator and read back from it; skipped whole while `on` is zero.
void Tone(Builder& b, const uint32_t* channels, int count) {
    const uint32_t on = b.Gpr(1);
    uint32_t bass[5], treble[5];
    const uint32_t coefficients[5] = {0x20000000, 0x08000000, 0x10000000, 0xF8000000, 0x04000000};
    for (int i = 0; i < 5; ++i) {
        bass[i] = b.Gpr(coefficients[i]);
        treble[i] = b.Gpr(coefficients[4 - i]);
    }
    b.Op(kAcc3, C0, on, C0, C0);
    const int off = b.SkipTo(kCcr, kCcr, kZero);
    for (int c = 0; c < count; ++c) {
        const uint32_t d = channels[c];
        uint32_t k[4], l[4];
        for (int i = 0; i < 4; ++i)
            k[i] = b.Gpr();
        for (int i = 0; i < 4; ++i)
            l[i] = b.Gpr();
        b.Op(kMacs, C0, C0, d, bass[0]);
        b.Op(kMacmv, k[1], k[0], k[1], bass[4]);
        b.Op(kMacmv, k[0], d, k[0], bass[2]);
        b.Op(kMacmv, k[3], k[2], k[3], bass[3]);
        b.Op(kMacs, k[2], kAccu, k[2], bass[1]);
        b.Op(kAcc3, k[2], k[2], k[2], C0);
        b.Op(kMacs, C0, C0, k[2], treble[0]);
        b.Op(kMacmv, l[1], l[0], l[1], treble[4]);
        b.Op(kMacmv, l[0], k[2], l[0], treble[2]);
        b.Op(kMacmv, l[3], l[2], l[3], treble[3]);
        b.Op(kMacs, l[2], kAccu, l[2], treble[1]);
        b.Op(kMacints, l[2], C0, l[2], C10);
        b.Op(kAcc3, d, l[2], C0, C0);
    }
    b.Place(off);
}

} // namespace

ChipImage MixerProgram() {
    Builder b;
    uint32_t in[12], playback[6], capture[2];
    for (uint32_t& r : in)
        r = b.Gpr();
    for (uint32_t& r : playback)
        r = b.Gpr();
    for (uint32_t& r : capture)
        r = b.Gpr();
    const uint32_t tmp = b.Gpr();
    for (uint32_t n = 0; n < 12; ++n)
        b.Op(kMacints, in[n], C0, n, C4); // effects bus n, scaled up
    Stream(b);
    // The wave buses: playback at full volume, capture muted.
    for (int i = 0; i < 6; ++i)
        Volume(b, playback[i], in[i % 2 + (i >= 4 ? 6 : 0)], b.Gpr(0x7FFFFFFF));
    Volume(b, capture[0], in[0], b.Gpr(0));
    b.Op(kAcc3, capture[1], C0, C0, C0);
    // Fifteen more sources, each added to playback (some at full volume)
    // and, switched, to capture.
    for (uint32_t s = 0; s < 15; ++s) {
        const uint32_t source = s < 10 ? in[2 + s] : 0x10 + s - 10; // then external inputs
        VolumeAdd(b, playback[s % 2], source, b.Gpr(s % 3 ? 0x7FFFFFFF : 0x40000000));
        Switch(b, tmp, source, b.Gpr(s % 2));
        VolumeAdd(b, capture[s % 2], tmp, b.Gpr(0));
    }
    Tone(b, playback, 5);
    for (uint32_t i = 0; i < 11; ++i)
        VolumeOut(b, 0x20 + i, playback[i % 6], b.Gpr(i % 4 ? 0x7FFFFFFF : 0x60000000));
    // Monitors: switched sums of the buses, with the switches inverted, up
    // to the mix's count of each opcode.
    uint32_t monitor[4];
    for (uint32_t& m : monitor) {
        m = b.Gpr();
        b.Op(kAcc3, m, C0, C0, C0);
    }
    std::vector<uint32_t> inverted;
    while (b.count(kAndxor) < 68) {
        inverted.push_back(b.Gpr());
        b.Op(kAndxor, inverted.back(), b.Gpr(inverted.size() % 2), C1, C1);
    }
    for (int i = 0; b.count(kMacints) < 96; ++i) {
        Switch(b, tmp, playback[i % 6], inverted[size_t(i) % inverted.size()]);
        b.Op(kAcc3, monitor[i % 4], monitor[i % 4], tmp, C0);
    }
    for (uint32_t i = 0; b.count(kAcc3) < 75; ++i)
        b.Op(kAcc3, 0x2B + i, monitor[i % 4], C0, C0);
    return b.chip();
}

std::map<uint32_t, int> OpcodeCounts(const ChipImage& chip, int count) {
    std::map<uint32_t, int> counts;
    for (int i = 0; i < count; ++i) {
        const Fx8010Words w{chip.registers[kMicrocodeBase + 2 * i],
                            chip.registers[kMicrocodeBase + 2 * i + 1]};
        ++counts[Fx8010UnpackInstruction(w).opcode];
    }
    return counts;
}
