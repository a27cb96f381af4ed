#include "card_refusal.h"

namespace {

constexpr const char* kCard = "a real card ";

} // namespace

std::string CardRefusal(const std::string& verb) {
    if (verb == "trace" || verb == "samples" || verb == "back" || verb == "goto" ||
        verb.ends_with(" --back"))
        return kCard + std::string("keeps no history; ") + verb + " needs the simulated chip";
    return kCard + std::string("is read-only here");
}

bool IsCardRefusal(const std::string& text) {
    return text.rfind(kCard, 0) == 0;
}
