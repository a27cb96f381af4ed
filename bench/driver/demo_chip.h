// The demo chip with the demo patch placed on it, as `make run` serves it:
// what the driver benchmarks run.
#pragma once

#include "loaded_program.h"

#include <string>

inline ChipImage DemoChipWithPatch() {
    const std::string images = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
    ChipImageResult loaded =
        LoadChipWithPatch(images + "demo.chip", images + "demo-chorus-echo.emu10k1", nullptr);
    return loaded.image.value_or(ChipImage{});
}
