#include "controls_answer.h"

#include "answer_clauses.h"
#include "verb_words.h"

std::string ControlsText(const std::vector<ControlInfo>& controls) {
    std::string text = std::to_string(controls.size()) + " controls";
    for (const ControlInfo& c : controls)
        text += "; " + c.name + " " + HexText(c.address, 3) + " " + HexText(c.value) + " " +
                HexText(c.min) + " " + HexText(c.max);
    return text;
}

std::optional<std::vector<ControlInfo>> ParseControls(const std::string& text) {
    const std::vector<std::string> c = AnswerClauses(text);
    const std::vector<std::string> head = RequestWords(c[0]);
    std::size_t count = 0;
    if (head.size() != 2 || head[1] != "controls" || !ParseNumber(head[0], &count) ||
        count != c.size() - 1)
        return std::nullopt;
    std::vector<ControlInfo> out;
    for (std::size_t i = 1; i < c.size(); ++i) {
        const std::vector<std::string> w = RequestWords(c[i]);
        ControlInfo info;
        if (w.size() != 5 || !ParseNumber(w[1], &info.address) || !ParseNumber(w[2], &info.value) ||
            !ParseNumber(w[3], &info.min) || !ParseNumber(w[4], &info.max))
            return std::nullopt;
        info.name = w[0];
        out.push_back(std::move(info));
    }
    return out;
}
