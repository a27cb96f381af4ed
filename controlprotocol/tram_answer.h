// The answer of "tram POOL FIRST COUNT", the delay-line memory read as it
// stands: POOL is internal or external, FIRST the first sample's index,
// COUNT how many (at most kMaxTramAnswer). Its line is
//   tram POOL FIRST COUNT of SIZE; bytes B
// (SIZE the pool's samples) and B = 2 x COUNT bytes follow it: each sample
// as a little-endian int16, as the pool holds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr uint32_t kMaxTramAnswer = 65536;

struct TramHeader {
    bool external = false;
    uint32_t first = 0;
    uint32_t count = 0;
    uint32_t size = 0;
    bool operator==(const TramHeader&) const = default;
};

std::string TramHeaderText(const TramHeader& header);
// nullopt unless text is such a line: the samples inside the pool, the
// byte count theirs.
std::optional<TramHeader> ParseTramHeader(const std::string& text);

std::string TramPayload(const std::vector<int16_t>& samples);
// The samples; empty unless payload holds header's exactly.
std::vector<int16_t> TramSamples(const TramHeader& header, const std::string& payload);
