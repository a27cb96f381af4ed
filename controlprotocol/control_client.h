// One request to emuapsd's control socket: a line out, an answer back, read
// whole within a time limit. What went wrong, if anything, is a value, with
// a line that says it.
#pragma once

#include "control_reply.h"

#include <string>

// A service that answers in none of this is taken as stopped or stuck.
constexpr int kAnswerSlackMs = 5000;
// How long to wait for the answer: the slack, and the chip time that a
// watch, break or advance asks for.
int AnswerWaitMs(const std::string& line);
// Sends line to the service of this user and waits for its answer, but not
// longer than AnswerWaitMs(line).
ControlReply AskService(const std::string& line);
// The same at the socket path, waiting at most waitMs.
ControlReply AskServiceAt(const std::string& path, const std::string& line, int waitMs);
