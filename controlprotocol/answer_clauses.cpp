#include "answer_clauses.h"

std::vector<std::string> AnswerClauses(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find("; ", from);
        out.push_back(text.substr(from, at - from));
        if (at == std::string::npos)
            return out;
        from = at + 2;
    }
}
