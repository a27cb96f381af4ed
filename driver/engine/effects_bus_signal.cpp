#include "effects_bus_signal.h"

#include <cmath>

namespace {

// Phase steps of 440 Hz, 554 Hz and 1 kHz at 48 kHz, in 2^32 per cycle.
constexpr uint32_t Step(double hz) {
    return uint32_t(hz / EffectsBusSignal::kSampleRate * 4294967296.0);
}
constexpr uint32_t kSteps[3] = {Step(440), Step(554.37), Step(1000)};

constexpr int kBurstPeriod = EffectsBusSignal::kSampleRate / 2;
constexpr int kBurstLength = EffectsBusSignal::kSampleRate / 20;

int32_t Scale(int32_t q31, int shift) {
    return q31 >> shift;
}

} // namespace

EffectsBusSignal::EffectsBusSignal() {
    const double kTwoPi = 6.283185307179586;
    for (std::size_t i = 0; i < table_.size(); ++i)
        table_[i] = int32_t(
            std::lround(std::sin(kTwoPi * double(i) / double(table_.size())) * 2147483647.0));
}

int32_t EffectsBusSignal::Sine(uint32_t phase) const {
    return table_[phase >> (32 - kTableBits)];
}

void EffectsBusSignal::Next(int32_t* bus) {
    for (int i = 0; i < BusSource::kBusInputs; ++i)
        bus[i] = 0;
    bus[0] = Scale(Sine(phase_[0]), 2); // a quarter of full scale
    bus[1] = Scale(Sine(phase_[1]), 2);
    if (sample_ % kBurstPeriod < uint32_t(kBurstLength))
        bus[2] = Scale(Sine(phase_[2]), 1);
    noise_ ^= noise_ << 13;
    noise_ ^= noise_ >> 17;
    noise_ ^= noise_ << 5;
    bus[3] = Scale(int32_t(noise_), 3);
    for (int i = 0; i < 3; ++i)
        phase_[i] += kSteps[i];
    if (++sample_ == uint32_t(kBurstPeriod))
        sample_ = 0;
}
