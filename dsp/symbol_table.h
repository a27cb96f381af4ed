// The DSP's vocabulary as read from the symbol file: names for opcodes and for
// operand addresses. A value may have several names, but only the first one it
// was given is shown for it.
#pragma once

#include "insertion_ordered_map.h"

#include <cstdint>
#include <string>

class SymbolTable {
  public:
    // Adds or redefines a name. A redefinition with the same value keeps the
    // old note; one with a new value takes the display name away from the old
    // value (if this name was it) and gives it to the new value unless that
    // value already has one.
    void Store(const std::string& name, int32_t value, const std::string& note);

    // What each name stands for; the last definition wins.
    const InsertionOrderedMap<std::string, int32_t>& ValueByName() const { return valueByName_; }
    // The display name of each value: the first name given to it.
    const InsertionOrderedMap<int32_t, std::string>& NameByValue() const { return nameByValue_; }
    // The text after "//" on each name's line (empty when there was none).
    const InsertionOrderedMap<std::string, std::string>& NoteByName() const { return noteByName_; }

  private:
    InsertionOrderedMap<std::string, int32_t> valueByName_;
    InsertionOrderedMap<int32_t, std::string> nameByValue_;
    InsertionOrderedMap<std::string, std::string> noteByName_;
};

// The two process-wide tables, empty until the symbol file is loaded and
// read-only afterwards.
SymbolTable& OpcodeSymbols();
SymbolTable& RegisterSymbols();
