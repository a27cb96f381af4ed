#include "program_swap.h"

ChipImage SwappedRegisters(const ChipImage& running, const ChipImage& fresh,
                           const StateCarry& carry) {
    ChipImage out = fresh;
    for (const auto& [from, to] : carry.registers)
        if (from < kChipRegisterCount && to < kChipRegisterCount)
            out.registers[to] = running.registers[from];
    return out;
}
