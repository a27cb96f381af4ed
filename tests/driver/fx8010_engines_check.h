// The fast engine against the reference engine, which is the oracle: both
// over copies of one chip, driven alike, compared whole. The engine tests,
// the bounded fuzz test and the libFuzzer target share it.
#pragma once

#include "fx8010_interpreter.h"

#include <string>
#include <vector>

// Hears the first saturation of each sample, as the history does.
struct SaturationLog : SampleObserver {
    void SampleEnded(const Fx8010Interpreter& dsp) override {
        saturations.push_back(dsp.saturatedInSample());
    }
    std::vector<int32_t> saturations;
};

struct EngineTwins {
    explicit EngineTwins(const ChipImage& image);
    EngineTwins(const EngineTwins&) = delete;
    // Both DSPs powered up afresh on copies of image.
    void Reset(const ChipImage& image);
    // Writes a register, or instruction i, on both chips.
    void Set(uint32_t reg, uint32_t value);
    void Instr(int i, uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y);
    // Both through the same blocks: "" when every output sample and what Run
    // returned agree, else the first difference.
    std::string Run(int samples, int block = 48);
    // "" when both chips' registers, the DSPs' operands, accumulators,
    // positions and saturation reports (and with tram both delay-line pools)
    // are the same, else the first difference.
    std::string Difference(bool tram = true) const;

    ChipImage chip[2]; // the fast engine's, the reference engine's
    Fx8010Interpreter dsp[2];
    SaturationLog log[2];
};

// Bytes read as a program, its registers and a script of runs, host writes,
// steps and stops for twins, reset first: "" when both engines agree after
// each step.
std::string CheckEnginesAgree(const std::string& bytes, EngineTwins& twins);
