// The FX8010's debug register (DBG, chip register 0x52): single-step mode
// stops the DSP, the step bit executes the instruction at the step address,
// and the DSP reports the last condition codes and the first saturation in it.
#pragma once

#include <cstdint>
#include <vector>

namespace fx8010dbg {

constexpr uint32_t kRegister = 0x52;
constexpr uint32_t kZeroCounter = 0x80000000;
constexpr uint32_t kSaturated = 0x02000000;
constexpr int kSaturationShift = 16;
constexpr uint32_t kSaturationAddress = 0x01FF0000;
constexpr uint32_t kSingleStep = 0x00008000;
constexpr uint32_t kStep = 0x00004000;
constexpr int kCodesShift = 9;
constexpr uint32_t kCodes = 0x00003E00;
constexpr uint32_t kStepAddress = 0x000001FF;

inline bool Stopped(uint32_t dbg) {
    return (dbg & kSingleStep) != 0;
}
// Stopped with nothing asked of the DSP: it has nothing to do.
inline bool Idle(uint32_t dbg) {
    return (dbg & (kSingleStep | kStep | kZeroCounter)) == kSingleStep;
}
inline uint32_t Codes(uint32_t dbg) {
    return (dbg & kCodes) >> kCodesShift;
}
inline uint32_t StepAddress(uint32_t dbg) {
    return dbg & kStepAddress;
}
// -1 when no saturation is recorded.
inline int SaturationAddress(uint32_t dbg) {
    return dbg & kSaturated ? int((dbg & kSaturationAddress) >> kSaturationShift) : -1;
}

// What the DSP writes back after executing: the codes of its last
// instruction, the address it stands at, the step bit done, and a saturation
// unless one is still recorded (the host clears it).
inline uint32_t AfterExecuting(uint32_t dbg, uint32_t codes, uint32_t nextAddress,
                               int saturatedAt) {
    dbg = (dbg & ~(kCodes | kStep | kStepAddress)) | ((codes << kCodesShift) & kCodes) |
          (nextAddress & kStepAddress);
    if (saturatedAt >= 0 && !(dbg & kSaturated))
        dbg |= kSaturated | ((uint32_t(saturatedAt) << kSaturationShift) & kSaturationAddress);
    return dbg;
}

} // namespace fx8010dbg

// What an instruction that writes a watched register must leave in it to
// stop the run, against its value before (as the DSP sees both, so a TRAM
// data register's sample sits in bits 12-31). Crosses: from below value to
// at or above it, or from above it to at or below it.
struct DebugCondition {
    enum class Kind { Changes, Above, Below, Equals, Crosses } kind = Kind::Changes;
    int32_t value = 0;
    bool Met(int32_t before, int32_t after) const {
        switch (kind) {
        case Kind::Changes:
            return after != before;
        case Kind::Above:
            return after > value;
        case Kind::Below:
            return after < value;
        case Kind::Equals:
            return after == value;
        case Kind::Crosses:
            return (before < value && after >= value) || (before > value && after <= value);
        }
        return false;
    }
};

// Where a debugging run stops: before one of `breaks` executes, right
// after an instruction that writes one of `watches` (operand addresses)
// meets `when`, or right after an instruction saturates.
struct DebugTargets {
    std::vector<uint32_t> breaks;
    std::vector<uint32_t> watches;
    DebugCondition when = {};
    bool saturation = false;
};

struct DebugStop {
    enum class Why { Bound, Break, Watch, Saturation } why = Why::Bound;
    uint32_t address = 0;          // the instruction broken at, or the one that wrote
    uint32_t reg = 0;              // the watched register, or the saturated result's
    int32_t before = 0, after = 0; // its values, as the DSP sees them
    uint64_t sample = 0;           // the sample it happened in, counted from 0
};
