// Builds an effects library file (raw bytes with RIFX effect programs among
// filler) from a small text description; the form is told in README.md.
#pragma once

#include <stdexcept>
#include <string>

class SymbolTable;

// A description that cannot be built; what() starts with "line N: ".
class FxDescriptionError : public std::runtime_error {
  public:
    FxDescriptionError(int line, const std::string& message);
    int Line() const { return line_; }

  private:
    int line_;
};

// Opcodes and operands in code lines may be written as numbers or as names of
// the given tables (the symbol file's opcode and register names).
std::string BuildEffectsLibrary(const std::string& description, const SymbolTable& opcodes,
                                const SymbolTable& registers);
// Numbers only.
std::string BuildEffectsLibrary(const std::string& description);
