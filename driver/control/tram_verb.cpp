#include "tram_verb.h"

#include "tram_answer.h"
#include "verb_words.h"

ControlAnswer TramVerb(SimulatedChip& chip, const std::vector<std::string>& words) {
    const std::string usage = "tram takes internal or external, the first sample and a count "
                              "from 1 to " +
                              std::to_string(kMaxTramAnswer);
    TramHeader h;
    if (words.size() != 4 || (words[1] != "internal" && words[1] != "external") ||
        !ParseNumber(words[2], &h.first) || !ParseNumber(words[3], &h.count) || h.count < 1 ||
        h.count > kMaxTramAnswer)
        return {2, usage};
    h.external = words[1] == "external";
    std::vector<int16_t> samples = chip.TramSamples(h.external, h.first, h.count, &h.size);
    if (uint64_t(h.first) + h.count > h.size)
        return {1, "the " + words[1] + " pool holds " + std::to_string(h.size) +
                       " samples; samples " + words[2] + " to " +
                       std::to_string(uint64_t(h.first) + h.count - 1) + " are not all in it"};
    return {0, TramHeaderText(h), TramPayload(samples)};
}
