#include "chip_state.h"

ChipState ChipState::Take(const ApsChipWord* registers, Fx8010Interpreter& dsp,
                          const ChipState* previous, std::unique_ptr<Fx8010Interpreter> spare) {
    ChipState state;
    state.at_ = {dsp.samples(), dsp.pc()};
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        state.registers_.registers[i] = ApsLoadRegister(&registers[i]);
    const TramEngine& tram = dsp.tram();
    state.internal_ = TramPages::Of(tram.pool(false), previous ? &previous->internal_ : nullptr,
                                    tram.written(false));
    state.external_ = TramPages::Of(tram.pool(true), previous ? &previous->external_ : nullptr,
                                    tram.written(true));
    // The pools stay out of the copy: they are in the pages.
    std::vector<int16_t> internal, external;
    internal.swap(dsp.tram().pool(false));
    external.swap(dsp.tram().pool(true));
    if (spare) {
        *spare = dsp;
        state.dsp_ = std::move(spare);
    } else {
        state.dsp_ = std::make_unique<Fx8010Interpreter>(dsp);
    }
    internal.swap(dsp.tram().pool(false));
    external.swap(dsp.tram().pool(true));
    // The next state looks only at the pages written after this one.
    dsp.tram().ForgetWritten();
    return state;
}

void ChipState::RestoreDsp(Fx8010Interpreter& dsp) const {
    dsp = *dsp_;
    internal_.CopyTo(dsp.tram().pool(false));
    external_.CopyTo(dsp.tram().pool(true));
}

std::size_t ChipState::ownBytes() const {
    return sizeof(*this) + sizeof(Fx8010Interpreter) + internal_.ownBytes() + external_.ownBytes();
}
