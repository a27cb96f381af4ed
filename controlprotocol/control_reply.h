// A reply as a client has it: the service's answer, or what kept it from
// having one, as a value with a line that says it.
#pragma once

#include <string>

enum class ControlTrouble {
    kNone,        // the service answered: status and text are its own
    kNoPath,      // the socket's path does not fit
    kUnreachable, // nothing listens there
    kOtherUser,   // the service there runs as another user
    kSendFailed,  // the request could not be sent
    kSilent,      // no answer within the time: a stopped or stuck service
    kClosed,      // the service closed the connection without an answer
    kNonsense,    // an answer in no form the protocol has
    kTooLarge,    // it announced more bytes than an answer holds
    kBrokeOff,    // the bytes after its line broke off
};

struct ControlReply {
    int status = 1; // 0 done, 1 refused (or no answer), 2 a usage mistake
    std::string text;
    // The bytes after the line, when its text ends in "; bytes B".
    std::string payload = {};
    ControlTrouble trouble = ControlTrouble::kNone;
};
