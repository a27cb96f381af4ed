#include "listing_search.h"

namespace {

int32_t FieldValue(const MicrocodeInstruction& instruction, int field) {
    switch (field) {
    case 1:
        return instruction.A;
    case 2:
        return instruction.X;
    case 3:
        return instruction.Y;
    default:
        return instruction.R;
    }
}

} // namespace

std::optional<int> FindNextMarkedLine(int start, int lineCount,
                                      const std::function<bool(int line)>& marked) {
    if (lineCount <= 0)
        return std::nullopt;
    for (int step = 1; step < lineCount; ++step) {
        const int line = (start + step) % lineCount;
        if (marked(line))
            return line;
    }
    return std::nullopt;
}

std::optional<RegisterHit> FindRegisterUse(const std::vector<MicrocodeInstruction>& code, int index,
                                           int field, RegisterUse use) {
    const int count = static_cast<int>(code.size());
    if (index < 0 || index >= count || field < 1 || field > 4)
        return std::nullopt;
    const int32_t reg = FieldValue(code[index], field);
    const bool inputs = use != RegisterUse::Output;
    const bool output = use != RegisterUse::Input;
    for (int step = 1; step < count; ++step) {
        const int j = (index + step) % count;
        if (inputs) {
            for (int input = 1; input <= 3; ++input)
                if (FieldValue(code[j], input) == reg)
                    return RegisterHit{j, input};
        }
        if (output && code[j].R == reg)
            return RegisterHit{j, 4};
    }
    return std::nullopt;
}
