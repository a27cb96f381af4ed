#include "answer_frame.h"

#include "samples_answer.h"
#include "verb_words.h"

static_assert(kMaxAnswerPayload == uint64_t(kMaxSamplesAnswer) * kMaxSamplesRegisters * 4);

std::string AnswerFrame(int status, std::string text, const std::string& payload) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return std::to_string(status) + " " + text + "\n" + payload;
}

uint64_t AnswerPayloadBytes(const std::string& text) {
    const std::size_t at = text.rfind("; bytes ");
    uint64_t bytes = 0;
    if (at == std::string::npos || !ParseNumber(text.substr(at + 8), &bytes))
        return 0;
    return bytes;
}

std::optional<AnswerLine> ParseAnswerLine(const std::string& line) {
    if (line.size() < 3 || line[0] < '0' || line[0] > '2' || line[1] != ' ' ||
        line.back() != '\n' || line.find('\n') != line.size() - 1)
        return std::nullopt;
    return AnswerLine{line[0] - '0', line.substr(2, line.size() - 3)};
}
