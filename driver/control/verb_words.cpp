#include "verb_words.h"

#include <cmath>
#include <sstream>

std::vector<std::string> RequestWords(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
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

bool ParseAdvanceCount(const std::string& text, int64_t* samples) {
    return ParseNumber(text, samples) && *samples >= 1 && *samples <= kMaxAdvanceSamples;
}

int64_t RequestRunSamples(const std::string& line) {
    std::vector<std::string> words = RequestWords(line);
    int64_t samples = 0;
    std::string mistake;
    if (words.empty())
        return 0;
    if (words[0] == "watch" || words[0] == "break")
        return TakeRunBound(words, &samples, &mistake) ? samples : 0;
    if (words[0] == "advance")
        return words.size() == 1 ? 1 : ParseAdvanceCount(words[1], &samples) ? samples : 0;
    return 0;
}
