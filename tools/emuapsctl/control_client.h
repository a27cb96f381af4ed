// One request to emuapsd's control socket: a line out, a line back.
#pragma once

#include <string>

struct ControlReply {
    int status = 1; // 0 done, 1 refused (or the service unreachable), 2 a usage mistake
    std::string text;
    // The bytes after the line, when its text ends in "; bytes B".
    std::string payload = {};
};

// A service that answers in none of this is taken as stopped or stuck.
constexpr int kAnswerSlackMs = 5000;
// How long to wait for the answer: the slack, and the chip time that a
// watch, break or advance asks for.
int AnswerWaitMs(const std::string& line);
// Sends line to the service of this user and waits for its answer, but not
// longer than AnswerWaitMs(line).
ControlReply AskService(const std::string& line);
