#include "operand_names_file.h"

#include "hex_number.h"
#include "symbol_file.h"
#include "symbol_table.h"

#include <stdexcept>

std::vector<NamedRegister> ReadOperandNames(const std::string& path, std::string* why) {
    SymbolTable opcodes, registers;
    try {
        LoadSymbolFile(path, opcodes, registers);
    } catch (const std::runtime_error& e) {
        *why = e.what();
        return {};
    }
    std::vector<NamedRegister> names;
    for (const auto& [name, value] : registers.ValueByName().entries())
        if (value >= 0 && value < 0x400)
            names.push_back({name, uint32_t(value)});
    return names;
}

std::vector<NamedRegister> ReadShippedOperandNames(std::string* why) {
    return ReadOperandNames(SymbolFilePath(), why);
}

TakenNames NamesTaken(const std::vector<NamedRegister>& operands) {
    TakenNames taken;
    for (const NamedRegister& n : ChipRegisterNames())
        taken.emplace(n.name, TakenName{n.address, "the chip's register " + HexNumber(n.address)});
    // A program's names are all from 0x100 up, so one of these below it
    // always names another register.
    for (const NamedRegister& n : operands)
        taken.emplace(n.name,
                      TakenName{n.address, "Symbols/8010.d's name of " + HexNumber(n.address)});
    return taken;
}

std::vector<NamedRegister> ProgramRegisterNames(const std::vector<PlacedName>& placed) {
    std::vector<NamedRegister> names;
    for (const PlacedName& n : placed)
        names.push_back({n.name, n.address});
    return names;
}
