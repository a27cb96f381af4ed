// The words of a control request as both ends read them: its numbers, and
// how long a verb runs the chip. The service keeps to that time; emuapsctl
// waits for it and a little more.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kVerbSampleRate = 48000;
// watch and break run for "--for SECONDS" of the chip's time, this by default.
constexpr double kDefaultRunSeconds = 10, kMaxRunSeconds = 3600;
constexpr int64_t kMaxAdvanceSamples = int64_t(kVerbSampleRate) * 3600;

// A request's words. A word is a run of characters other than white space,
// or a quoted one: "..." holding anything, with \\, \", \n and \r for a
// backslash, a quote, a newline and a carriage return. Only a word that
// begins with a quote is read as one, so a request without quotes reads as
// it always did. On a malformed quoted word, the words before it and what
// is wrong in mistake.
std::vector<std::string> RequestWords(const std::string& line, std::string* mistake = nullptr);
// The words as a request line that RequestWords reads back as they are:
// each quoted when it is empty, holds white space or begins with a quote.
std::string RequestLine(const std::vector<std::string>& words);

// Hexadecimal with 0x, or decimal; the whole text.
template <class T> bool ParseNumber(const std::string& text, T* value) {
    const bool hex = text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X"));
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, *value, hex ? 16 : 10);
    return ec == std::errc() && end == last && first != last;
}

// Takes "--for S" off the end of words, as samples (the default without it);
// false, with the mistake, when S is no count of seconds, rounds below one
// sample or exceeds the limit.
bool TakeRunBound(std::vector<std::string>& words, int64_t* samples, std::string* mistake);
// watch's "--above V" (or --below, --equals, --crosses) and break's
// "--saturation", anywhere after the verb, so that --for may come before or
// after them. TakeValueCondition sets option and value ("" without one);
// false with the mistake when V is missing or there are two.
bool TakeValueCondition(std::vector<std::string>& words, std::string* option, std::string* value,
                        std::string* mistake);
bool TakeFlag(std::vector<std::string>& words, const std::string& flag);
// advance's count, from 1 to kMaxAdvanceSamples.
bool ParseAdvanceCount(const std::string& text, int64_t* samples);
// The samples a request may run the chip for: a watch's or break's bound, an
// advance's count; 0 for other verbs and for mistakes, which are answered
// at once.
int64_t RequestRunSamples(const std::string& line);
