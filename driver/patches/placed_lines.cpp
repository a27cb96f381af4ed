#include "placed_lines.h"

#include "patch_placement.h"
#include "tram_engine.h"

#include <algorithm>

namespace {

constexpr uint32_t kTramData = 0x200, kTramAddress = 0x300;

std::string BlockName(const As10k1Names* dump, uint8_t reg) {
    if (dump)
        for (const As10k1NamedAccess& a : dump->accesses)
            if (a.addressRegister == kTramAddress + reg)
                return a.block;
    return "";
}

} // namespace

std::vector<PlacedLine> PlaceLines(const As10k1Patch& patch, const As10k1Names* dump,
                                   const PatchRelocation& relocation, const ChipImage& placed) {
    std::vector<PlacedLine> lines;
    for (const auto* blocks : {&patch.tables, &patch.delays})
        for (const As10k1TramBlock& block : *blocks) {
            const As10k1TramLine* tap = !block.writes.empty()  ? &block.writes[0]
                                        : !block.reads.empty() ? &block.reads[0]
                                                               : nullptr;
            if (!tap)
                continue;
            const uint32_t n = relocation.tram[tap->reg];
            const uint32_t address = placed.registers[kTramAddress + n] & TramEngine::kAddressMask;
            lines.push_back({BlockName(dump, tap->reg),
                             {n >= uint32_t(TramEngine::kInternalRegisters), address - tap->offset,
                              block.size}});
        }
    return lines;
}

std::vector<uint32_t> OwnedRegisters(const As10k1Patch& patch, const PatchRelocation& relocation) {
    std::vector<uint32_t> owned;
    auto gpr = [&](uint8_t g) { owned.push_back(relocation.gpr[g]); };
    for (const As10k1Io& io : patch.io) {
        gpr(io.in);
        gpr(io.out);
    }
    for (uint8_t g : patch.dynamic)
        gpr(g);
    for (const auto* list : {&patch.statics, &patch.constants})
        for (const As10k1Gpr& g : *list)
            gpr(g.gpr);
    for (const As10k1Control& c : patch.controls)
        gpr(c.gpr);
    for (const auto* blocks : {&patch.tables, &patch.delays})
        for (const As10k1TramBlock& block : *blocks)
            for (const auto* taps : {&block.reads, &block.writes})
                for (const As10k1TramLine& tap : *taps) {
                    owned.push_back(kTramData + relocation.tram[tap.reg]);
                    owned.push_back(kTramAddress + relocation.tram[tap.reg]);
                }
    std::sort(owned.begin(), owned.end());
    owned.erase(std::unique(owned.begin(), owned.end()), owned.end());
    return owned;
}
