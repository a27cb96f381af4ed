#include "service_state.h"

#include <cstdlib>

Attachment AttachmentOf(int status, const std::string& text, Attachment before) {
    if (status == 0)
        return Attachment::Attached;
    if (text.rfind("a real card", 0) == 0)
        return Attachment::Card;
    // Refusals of a service that answered (status 1 with its own words) are
    // not a loss; the client's own words for no answer are.
    if (text.rfind("emuapsd did not answer", 0) == 0)
        return Attachment::Silent;
    const bool unreachable = text.rfind("cannot reach emuapsd", 0) == 0 ||
                             text.rfind("emuapsd closed the connection", 0) == 0 ||
                             text.rfind("cannot send to emuapsd", 0) == 0;
    if (!unreachable)
        return before;
    // Lost, unless there never was one.
    return before == Attachment::None || before == Attachment::Unknown ? Attachment::None
                                                                       : Attachment::Gone;
}

std::string AttachmentText(Attachment a) {
    switch (a) {
    case Attachment::Unknown:
        return "Looking for emuapsd...";
    case Attachment::None:
        return "No emuapsd is running: start it, and the scope attaches by itself";
    case Attachment::Gone:
        return "emuapsd went away: the scope attaches again when it is back";
    case Attachment::Silent:
        return "emuapsd does not answer (is it stopped?): waiting for it";
    case Attachment::Card:
        return "a real card keeps no history: no scope";
    case Attachment::Attached:
        break;
    }
    return "";
}

int SaturationIn(const std::string& status) {
    const std::string key = "saturated at 0x";
    const std::size_t at = status.find(key);
    if (at == std::string::npos)
        return -1;
    char* end = nullptr;
    const long v = std::strtol(status.c_str() + at + key.size(), &end, 16);
    return end != status.c_str() + at + key.size() && v >= 0 && v < 0x200 ? int(v) : -1;
}
