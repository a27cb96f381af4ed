// One request to emuapsd's control socket: a line out, a line back.
#pragma once

#include <string>

struct ControlReply {
    int status = 1; // 0 done, 1 refused (or the service unreachable), 2 a usage mistake
    std::string text;
};

// Sends line to the service of this user and waits for its answer.
ControlReply AskService(const std::string& line);
