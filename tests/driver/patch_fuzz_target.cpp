#include "as10k1_writer.h"
#include "driver_input_checks.h"
#include "patch_placement.h"
#include "tram_engine.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint32_t kTramAddress = 0x300;

// Chips that leave room, and chips whose own taps already run past a pool.
std::vector<ChipImage> Chips() {
    ChipImage empty;
    ChipImage pastExternal;
    pastExternal.registers[kTramAddress + 0x80] = TramEngine::kWrite | 196608;
    ChipImage pastBoth = pastExternal;
    pastBoth.registers[kTramAddress] = TramEngine::kRead | TramEngine::kAddressMask;
    return {empty, pastExternal, pastBoth};
}

std::string CheckPlacement(const ChipImage& chip, const As10k1Patch& patch) {
    PatchPlacement placed = PlacePatch(chip, patch);
    if (placed.image.has_value() == !placed.error.empty())
        return "a placement and an error, or neither";
    if (!placed.image)
        return "";
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t before = chip.registers[kTramAddress + n];
        uint32_t after = placed.image->registers[kTramAddress + n];
        if (before == after)
            continue;
        if (before != 0)
            return "a TRAM register of the chip's own was changed";
        uint32_t flags = after & ~TramEngine::kAddressMask;
        if (flags != TramEngine::kRead && flags != TramEngine::kWrite)
            return "a placed TRAM register with other flags than one read or write";
        uint32_t pool = n < uint32_t(TramEngine::kInternalRegisters) ? TramEngine::kInternalSamples
                                                                     : TramEngine::kExternalSamples;
        if (n >= uint32_t(TramEngine::kPooledRegisters) ||
            (after & TramEngine::kAddressMask) >= pool)
            return "a delay line placed outside its pool";
    }
    return "";
}

} // namespace

std::string CheckPatchReader(const std::string& bytes) {
    As10k1PatchResult r = ParseAs10k1Patch(bytes);
    if (r.patch.has_value() == !r.error.empty())
        return "a patch and an error, or neither";
    if (!r.patch)
        return "";
    const std::string written = WriteAs10k1Patch(*r.patch);
    As10k1PatchResult again = ParseAs10k1Patch(written);
    if (!again.patch || WriteAs10k1Patch(*again.patch) != written)
        return "the patch does not read back from what it writes";
    static const std::vector<ChipImage> chips = Chips();
    for (const ChipImage& chip : chips)
        if (std::string why = CheckPlacement(chip, *r.patch); !why.empty())
            return why;
    return "";
}

#ifdef VELMORA_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!CheckPatchReader(std::string(reinterpret_cast<const char*>(data), size)).empty())
        std::abort();
    return 0;
}
#endif
