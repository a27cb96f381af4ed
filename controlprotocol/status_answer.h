// The answer of "status": what the chip is doing, as clauses joined by "; ",
//   STATE; N samples; step address 0xAAA; codes CODES; no saturation (or
//   saturated at 0xAAA); loaded WHAT; F.FFx real time[; MORE]...
// STATE is running, stopped, standing, or "running a client's 'VERB'";
// CODES as CodesText writes them; MORE the playing and capturing, and a
// client's verb that holds the chip. WHAT and VERB may hold "; " themselves.
// Last come the past's clauses, PastClause and ForkClause, when they hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StatusAnswer {
    std::string state;
    uint64_t samples = 0;
    uint32_t stepAddress = 0;
    uint32_t codes = 0;
    int saturatedAt = -1;
    std::string loaded; // "nothing" without a program
    double factor = 0;  // the pace, a multiple of real time
    std::vector<std::string> more;
    // Standing in its past: how many samples before the newest.
    std::optional<uint64_t> behind = std::nullopt;
    std::optional<uint64_t> forkedAt = std::nullopt;
    bool operator==(const StatusAnswer&) const = default;
};

std::string StatusText(const StatusAnswer& status);
// nullopt unless text is such an answer.
std::optional<StatusAnswer> ParseStatus(const std::string& text);

// The clauses status adds while the chip stands in its past ("at sample
// 1200, 2400 samples before the newest") and once it forked there ("forked
// at sample 1200").
std::string PastClause(uint64_t at, uint64_t behind);
// "2400 samples before the newest", as those and the verbs that go back say it.
std::string BehindText(uint64_t behind);
std::string ForkClause(uint64_t sample);

// The condition codes as answers name them: "0x0C (zero, negative)", "0x00".
std::string CodesText(uint32_t codes);
