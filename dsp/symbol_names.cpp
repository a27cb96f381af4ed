#include "symbol_names.h"

#include "hex_pad.h"
#include "program_symbols.h"
#include "symbol_table.h"

namespace {

std::vector<std::string> NamesOf(const SymbolTable& table) {
    std::vector<std::string> names;
    names.reserve(table.ValueByName().size());
    for (const auto& entry : table.ValueByName().entries())
        names.push_back(entry.first);
    return names;
}

} // namespace

std::string OpcodeName(int32_t opcode) {
    if (const std::string* name = OpcodeSymbols().NameByValue().find(opcode))
        return *name;
    return HexPad(opcode, 2);
}

const SymbolTable* ProgramNamesOf(CodeOf code) {
    return code == CodeOf::Chip ? &ProgramSymbols() : nullptr;
}

std::string RegisterName(int32_t address, CodeOf code) {
    return RegisterName(address, ProgramNamesOf(code));
}

std::string RegisterName(int32_t address, const SymbolTable* programNames) {
    if (programNames)
        if (const std::string* name = programNames->NameByValue().find(address))
            return *name;
    if (const std::string* name = RegisterSymbols().NameByValue().find(address))
        return *name;
    return "0x" + HexPad(address, 3);
}

std::vector<std::string> OpcodeNames() {
    return NamesOf(OpcodeSymbols());
}
std::vector<std::string> RegisterNames() {
    std::vector<std::string> names = NamesOf(RegisterSymbols());
    for (std::string& name : NamesOf(ProgramSymbols()))
        names.push_back(std::move(name));
    return names;
}
