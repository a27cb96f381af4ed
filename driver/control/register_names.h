// The names the verbs take for registers, each in the verb's own space: get
// and set take the chip's registers (0x000-0x7FF), watch the DSP's operands
// (0x000-0x3FF). The two are the same registers only from 0x100 up; below
// it, operand 0x52 is the constant 0xC0000000 and chip register 0x52 is DBG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class RegisterSpace { Chip, Operands };

struct NamedRegister {
    std::string name;
    uint32_t address = 0;
};

// The chip registers below 0x100 that the docs name: DBG (0x052).
const std::vector<NamedRegister>& ChipRegisterNames();

class RegisterNames {
  public:
    RegisterNames() = default;
    // operands: Symbols/8010.d's names of DSP operands (0x000-0x3FF);
    // program: the placed program's (0x100-0x3FF). For an address with
    // several names the program's first one is shown, else the operands'.
    // unknown, when not empty, follows the refusal of a name nothing names
    // (where the program's names would come from).
    RegisterNames(std::vector<NamedRegister> operands, std::vector<NamedRegister> program,
                  std::string unknown = "");

    // A register number (hexadecimal with 0x, or decimal) or a name of space.
    // Otherwise nullopt and why: "no register is called X" (and "; " and
    // unknown), "C_C0000000 is
    // a DSP constant, not a chip register", "DBG is a chip register, not a
    // DSP operand", or "X names two registers" (in either space), since one
    // name never means two.
    std::optional<uint32_t> Find(const std::string& word, RegisterSpace space,
                                 std::string* why) const;
    // "fb (0x106)", or "0x106" when nothing of space names it.
    std::string Label(uint32_t address, RegisterSpace space) const;

  private:
    std::vector<NamedRegister> operands_, program_;
    std::string unknown_;
};
