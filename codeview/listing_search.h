// The two searches of a listing, on plain data: the next marked line and the
// next instruction that uses a register.
#pragma once

#include "zendra.h"

#include <functional>
#include <optional>
#include <vector>

// The first line after start (wrapping from the last line to line 0) for which
// marked() is true; start itself is never examined.
std::optional<int> FindNextMarkedLine(int start, int lineCount,
                                      const std::function<bool(int line)>& marked);

// Which operands of an instruction a register search compares.
enum class RegisterUse { Input = 1, Output = 2, Any = 3 };

struct RegisterHit {
    int index = 0;
    int field = 0; // 1 A, 2 X, 3 Y, 4 R
};

// The next instruction after index (wrapping from the last to 0, never
// examining index itself) that uses the register held in field (1 to 4) of
// instruction index. Inputs are compared in the order A, X, Y before the
// output R. Nothing when index or field is out of range or no instruction
// matches.
std::optional<RegisterHit> FindRegisterUse(const std::vector<MicrocodeInstruction>& code, int index,
                                           int field, RegisterUse use);
