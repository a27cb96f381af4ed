#include "instruction_text.h"

#include "hex_pad.h"
#include "symbol_names.h"

#include <algorithm>
#include <stdexcept>

std::string FormatInstruction(const MicrocodeInstruction& instruction, int tabWidth, bool shortForm,
                              CodeOf code) {
    return FormatInstruction(instruction, tabWidth, shortForm, ProgramNamesOf(code));
}

std::string FormatInstruction(const MicrocodeInstruction& instruction, int tabWidth, bool shortForm,
                              const SymbolTable* programNames) {
    if (tabWidth <= 0)
        throw std::invalid_argument("FormatInstruction: tab width must be positive");
    const std::string opName = OpcodeName(instruction.Opcode);

    std::string operands = RegisterName(instruction.A, programNames);
    for (int32_t operand : {instruction.X, instruction.Y, instruction.R}) {
        operands += ' ';
        operands += RegisterName(operand, programNames);
    }

    std::string line = opName;
    if (shortForm)
        line += ' ';
    else
        line += static_cast<int>(opName.size()) < tabWidth ? "\t\t" : "\t";
    line += operands;
    const int trailingTabs = std::max(0, 7 - static_cast<int>(operands.size()) / tabWidth);
    line.append(static_cast<std::size_t>(trailingTabs), '\t');
    if (shortForm)
        return line;

    line += "// ";
    line += HexPad(instruction.Opcode, 2);
    for (int32_t field : {instruction.A, instruction.X, instruction.Y, instruction.R}) {
        line += ' ';
        line += HexPad(field, 3);
    }
    return line;
}
