#include "chip_image.h"

namespace {
constexpr uint32_t kAcc3 = 0x6, kZero = 0x40; // the constant 0
} // namespace

Fx8010Words IdleInstruction() {
    return Fx8010PackInstruction({kAcc3, kZero, kZero, kZero, kZero});
}

ChipImage EmptyChipImage() {
    ChipImage image;
    const Fx8010Words idle = IdleInstruction();
    for (int i = 0; i < kMicrocodeSize; ++i) {
        image.registers[kMicrocodeBase + 2 * i] = idle.low;
        image.registers[kMicrocodeBase + 2 * i + 1] = idle.high;
    }
    return image;
}
