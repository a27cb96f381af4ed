#include "service_state.h"

#include "card_refusal.h"
#include "status_answer.h"

#include <optional>

Attachment AttachmentOf(const ControlReply& reply, Attachment before) {
    switch (reply.trouble) {
    case ControlTrouble::kNone:
        // A refusal is an answer, and no loss, but for a card's.
        if (reply.status == 0)
            return Attachment::Attached;
        return reply.status == 1 && IsCardRefusal(reply.text) ? Attachment::Card : before;
    case ControlTrouble::kSilent:
        return Attachment::Silent;
    case ControlTrouble::kUnreachable:
    case ControlTrouble::kClosed:
    case ControlTrouble::kSendFailed:
        // Lost, unless there never was one.
        return before == Attachment::None || before == Attachment::Unknown ? Attachment::None
                                                                           : Attachment::Gone;
    default:
        return before;
    }
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
    const std::optional<StatusAnswer> parsed = ParseStatus(status);
    return parsed ? parsed->saturatedAt : -1;
}
