#include "filler_bytes.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace {

class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

  private:
    uint64_t state_;
};

using namespace std::string_view_literals;
constexpr std::string_view kPhrases[] = {
    "This program cannot be run in DOS mode.\r\r\n$"sv,
    "KERNEL32.dll\0GetProcAddress\0LoadLibraryA\0"sv,
    "FX8010 effect programs\0"sv,
    "Copyright (c) sound driver\0"sv,
};

} // namespace

void AppendFiller(std::string& out, std::size_t count, FillerKind kind, uint64_t seed) {
    const std::size_t begin = out.size();
    if (kind == FillerKind::Zero) {
        out.append(count, '\0');
        return;
    }
    Random random(seed);
    while (out.size() - begin < count) {
        std::size_t left = count - (out.size() - begin);
        std::size_t run = std::min<std::size_t>(left, 16 + random.Below(497));
        std::size_t pick = random.Below(20);
        if (pick < 8) {
            out.append(run, '\0');
        } else if (pick < 17) {
            for (std::size_t i = 0; i < run; ++i)
                out.push_back(static_cast<char>(random.Next() >> 24));
        } else {
            std::string_view phrase = kPhrases[random.Below(std::size(kPhrases))];
            out.append(phrase.substr(0, left));
        }
    }
    // Break any signature the random bytes happened to spell.
    for (std::size_t i = begin; i + 4 <= out.size(); ++i)
        if (std::memcmp(out.data() + i, "RIFX", 4) == 0)
            out[i + 3] = 'x';
}
