#include "verb_words.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

namespace {

bool Space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The escapes of a quoted word, each character's and its letter.
constexpr std::pair<char, char> kEscapes[] = {{'\\', '\\'}, {'"', '"'}, {'\n', 'n'}, {'\r', 'r'}};

} // namespace

std::vector<std::string> RequestWords(const std::string& line, std::string* mistake) {
    std::vector<std::string> words;
    auto wrong = [&](const std::string& why) {
        if (mistake)
            *mistake = why;
        return words;
    };
    for (std::size_t i = 0; i < line.size();) {
        if (Space(line[i])) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] != '"') {
            for (; i < line.size() && !Space(line[i]); ++i)
                word += line[i];
            words.push_back(std::move(word));
            continue;
        }
        for (++i;; ++i) {
            if (i == line.size())
                return wrong("a quoted word has no closing quote");
            if (line[i] == '"')
                break;
            if (line[i] != '\\') {
                word += line[i];
                continue;
            }
            const char letter = ++i < line.size() ? line[i] : '\0';
            const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                              [&](auto e) { return e.second == letter; });
            if (escape == std::end(kEscapes))
                return wrong("a quoted word escapes only \\\\, \\\", \\n and \\r");
            word += escape->first;
        }
        if (++i < line.size() && !Space(line[i]))
            return wrong("a quoted word ends at its closing quote");
        words.push_back(std::move(word));
    }
    return words;
}

std::string RequestLine(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty())
            line += ' ';
        if (!word.empty() && word[0] != '"' && std::none_of(word.begin(), word.end(), Space)) {
            line += word;
            continue;
        }
        line += '"';
        for (char c : word) {
            const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                              [&](auto e) { return e.first == c; });
            if (escape == std::end(kEscapes)) {
                line += c;
            } else {
                line += '\\';
                line += escape->second;
            }
        }
        line += '"';
    }
    return line;
}

bool TakeRunBound(std::vector<std::string>& words, int64_t* samples, std::string* mistake) {
    double seconds = kDefaultRunSeconds;
    if (words.size() >= 2 && words[words.size() - 2] == "--for") {
        const std::string& text = words.back();
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds,
                                         std::chars_format::fixed);
        // A bound that rounds to no sample would leave the chip stopped having run nothing.
        if (ec != std::errc() || end != text.data() + text.size() || !(seconds <= kMaxRunSeconds) ||
            std::llround(seconds * kVerbSampleRate) < 1) {
            *mistake = "--for takes the seconds of the chip's time to run, from one sample "
                       "(0.00002) to 3600";
            return false;
        }
        words.resize(words.size() - 2);
    }
    *samples = std::llround(seconds * kVerbSampleRate);
    return true;
}

bool TakeValueCondition(std::vector<std::string>& words, std::string* option, std::string* value,
                        std::string* mistake) {
    option->clear();
    value->clear();
    for (std::size_t i = 1; i < words.size();) {
        const std::string& w = words[i];
        if (w != "--above" && w != "--below" && w != "--equals" && w != "--crosses") {
            ++i;
            continue;
        }
        if (!option->empty()) {
            *mistake = "watch takes one of --above, --below, --equals and --crosses";
            return false;
        }
        if (i + 1 >= words.size()) {
            *mistake = w + " takes a value: hex (0x...), decimal or a fraction";
            return false;
        }
        *option = w;
        *value = words[i + 1];
        words.erase(words.begin() + std::ptrdiff_t(i), words.begin() + std::ptrdiff_t(i) + 2);
    }
    return true;
}

bool TakeFlag(std::vector<std::string>& words, const std::string& flag) {
    return std::erase(words, flag) > 0;
}

bool ParseAdvanceCount(const std::string& text, int64_t* samples) {
    return ParseNumber(text, samples) && *samples >= 1 && *samples <= kMaxAdvanceSamples;
}

int64_t RequestRunSamples(const std::string& line) {
    std::vector<std::string> words = RequestWords(line);
    int64_t samples = 0;
    std::string mistake;
    if (words.empty())
        return 0;
    std::string option, value;
    if (words[0] == "watch" && !TakeValueCondition(words, &option, &value, &mistake))
        return 0;
    TakeFlag(words, "--saturation");
    if (words[0] == "watch" || words[0] == "break")
        return TakeRunBound(words, &samples, &mistake) ? samples : 0;
    if (words[0] == "advance")
        return words.size() == 1 ? 1 : ParseAdvanceCount(words[1], &samples) ? samples : 0;
    return 0;
}
