// What a trace's register box names, with the program's names as the
// service placed them: a register, or why it names none, in the service's
// own words ("no register is called monoo"). And which trace a refusal of
// the service's is about.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TraceChoice {
    std::optional<uint32_t> address;
    std::string problem; // empty for a register, an empty box, or names not yet known
    bool operator==(const TraceChoice&) const = default;
};

// namesKnown: the names are those of the program the service runs now;
// before they are, a name is neither taken nor refused.
TraceChoice ChooseTrace(const std::string& text, const std::map<std::string, uint32_t>& names,
                        bool namesKnown);

// The index in registers of the one register a refusal names by its
// address ("fb (0x106)", "0x020 is an input ..."), or -1 for none.
int RefusedRegister(const std::string& refusal, const std::vector<uint32_t>& registers);
