// What the service's replies say about it, for the scope's status line:
// attached, none, gone, or a card's service that keeps no history.
#pragma once

#include "control_reply.h"

#include <string>

// Silent: a service that takes requests but answers none (stopped by SIGSTOP, say).
enum class Attachment { Unknown, Attached, Card, None, Gone, Silent };

// The attachment a reply shows; before tells a lost service from one never seen.
Attachment AttachmentOf(const ControlReply& reply, Attachment before);
// The line the scope shows for it (empty when attached).
std::string AttachmentText(Attachment a);
// The instruction of a status answer's saturation, or -1 (also for a text
// that is no status answer).
int SaturationIn(const std::string& status);
