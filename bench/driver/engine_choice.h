// Each engine benchmark runs once on the fast engine (reference 0) and once on
// the reference engine (reference 1), in the same binary and run, so the two
// compare as a ratio.
#pragma once

#include "fx8010_interpreter.h"

#include <benchmark/benchmark.h>

// The argument at index of the benchmark, as the engine; interpreters made
// from now on (the chip's, the render's) take it.
inline Fx8010Engine ChooseEngine(const benchmark::State& state, int index = 0) {
    const Fx8010Engine engine = state.range(index) ? Fx8010Engine::kReference : Fx8010Engine::kFast;
    Fx8010Interpreter::SetDefaultEngine(engine);
    return engine;
}
