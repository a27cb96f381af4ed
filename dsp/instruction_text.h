// The one text layout of a DSP instruction. Code views parse it back by its
// token columns, so the layout is fixed:
//   OPNAME <gap> A X Y R <trailing tabs> // OP AAA XXX YYY RRR
// In the listing form the gap is two tabs for an opcode name shorter than the
// tab width and one tab otherwise; the trailing tabs, 7 - (operand text length
// / tab width) of them, put the hex comment at column 9 x tab width. The short
// form uses one space as the gap and has no hex comment.
#pragma once

#include "symbol_names.h"
#include "zendra.h"

#include <string>

// tabWidth must be greater than 0; code says whose registers the operands are.
std::string FormatInstruction(const MicrocodeInstruction& instruction, int tabWidth, bool shortForm,
                              CodeOf code = CodeOf::Chip);
// The chip's code as read under programNames (null: no program's names).
std::string FormatInstruction(const MicrocodeInstruction& instruction, int tabWidth, bool shortForm,
                              const SymbolTable* programNames);
