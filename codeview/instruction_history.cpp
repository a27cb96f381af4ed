#include "instruction_history.h"

#include "instruction_text.h"

std::string HistoryText(const CodeHistory& history, int index) {
    std::string text;
    for (int k = 1; k <= CodeHistory::kDepth; ++k) {
        const std::vector<MicrocodeInstruction>& image = history.previous(k);
        if (image.empty())
            break;
        if (index < 0 || index >= static_cast<int>(image.size()))
            break;
        if (k > 1)
            text += "\r\n";
        text += ' ';
        text += FormatInstruction(image[index], 3, true, history.previousContext(k).get());
    }
    return text;
}
