#include "reply_text.h"

#include "controls_answer.h"
#include "samples_answer.h"
#include "value_units.h"

#include <cstdio>

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

} // namespace

std::string ShownReply(const std::string& verb, const std::string& text) {
    if (verb == "samples") {
        const std::optional<SamplesHeader> h = ParseSamplesHeader(text);
        if (!h)
            return text;
        std::string shown = "first " + std::to_string(h->first) + ", count " +
                            std::to_string(h->count) + ", at " + std::to_string(h->at) + ", " +
                            h->state + ", load " + std::to_string(h->load);
        if (h->saturatedAt >= 0) {
            char at[16];
            std::snprintf(at, sizeof at, "0x%03X", unsigned(h->saturatedAt));
            shown += ", saturated at " + std::string(at);
        }
        return shown;
    }
    if (verb == "controls") {
        const std::optional<std::vector<ControlInfo>> controls = ParseControls(text);
        if (!controls)
            return text;
        std::string shown = std::to_string(controls->size()) + " controls";
        for (const ControlInfo& c : *controls) {
            char address[16];
            std::snprintf(address, sizeof address, "0x%03X", c.address);
            shown += "\n" + c.name + " (" + address + ") = " + Hex(c.value) + ": " +
                     UnitValueText(ControlUnit(c), c.value) + " (from " + Hex(c.min) + " to " +
                     Hex(c.max) + ")";
        }
        return shown;
    }
    return text;
}
