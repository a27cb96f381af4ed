// What the service's status and refusals say about it, for the scope's
// status line: attached, none, gone, or a card's service that keeps no history.
#pragma once

#include <string>

// Silent: a service that takes requests but answers none (stopped by SIGSTOP, say).
enum class Attachment { Unknown, Attached, Card, None, Gone, Silent };

// The attachment an answer shows: status is the answer's status (0 done),
// text its line; before tells a lost service from one never seen.
Attachment AttachmentOf(int status, const std::string& text, Attachment before);
// The line the scope shows for it (empty when attached).
std::string AttachmentText(Attachment a);
// The instruction of "saturated at 0x0NN" in a status line, or -1.
int SaturationIn(const std::string& status);
