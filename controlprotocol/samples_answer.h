// The answer of "samples FROM REG...", which the scope lives on, as both
// ends read it.
//
// "samples FROM REG..." gives the history of up to four registers from
// sample FROM (counted since the load) to the newest, at most
// kMaxSamplesAnswer of the newest, with the chip's state. Its line is
//   samples FIRST COUNT of R; load G; at P; STATE; no saturation; bytes B
// (or "saturated at 0x0NN" in place of "no saturation"), and B bytes follow
// the line: R columns of COUNT little-endian int32 each, as the DSP sees the
// registers (a TRAM data register's 20-bit sample in its top bits). G counts
// the history's lay-outs, so a reload shows as a new G; P is the number of
// the sample the history will hold next (FIRST + COUNT when COUNT > 0).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr int kMaxSamplesRegisters = 4;
// Two seconds and enough for the largest FFT, rounded up.
constexpr int64_t kMaxSamplesAnswer = 131072;

struct SamplesHeader {
    uint64_t first = 0;
    int64_t count = 0;
    int registers = 0;
    uint64_t load = 0;
    uint64_t at = 0;
    std::string state; // "running", "stopped" or "standing"
    int saturatedAt = -1;
    uint64_t bytes = 0;
    bool operator==(const SamplesHeader&) const = default;
};

std::string SamplesHeaderText(const SamplesHeader& header);
// nullopt unless text is such a line and its byte count is its columns'.
std::optional<SamplesHeader> ParseSamplesHeader(const std::string& text);

// The payload's columns; empty unless it holds header's exactly.
std::vector<std::vector<int32_t>> SamplesColumns(const SamplesHeader& header,
                                                 const std::string& payload);
std::string SamplesPayload(const std::vector<std::vector<int32_t>>& columns);
