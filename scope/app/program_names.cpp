#include "program_names.h"

#include "register_choice.h"
#include "socket_path.h"
#include "symbol_file.h"
#include "symbol_table.h"

#include <stdexcept>

ProgramNames ReadPlacedProgramNames() {
    ProgramNames names;
    char path[ZENDRA_SOCKET_PATH_MAX];
    if (ZendraProgramSymbolsPath(path, sizeof path) != 0)
        return names;
    SymbolTable opcodes, registers;
    try {
        LoadSymbolFile(path, opcodes, registers);
    } catch (const std::runtime_error&) {
        return names;
    }
    for (const auto& [name, value] : registers.ValueByName().entries())
        if (value >= 0 && uint32_t(value) < kOperandCount)
            names[name] = uint32_t(value);
    return names;
}
