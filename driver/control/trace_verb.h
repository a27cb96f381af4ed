// emuapsctl's trace: the history of some registers, as a file the service
// writes (WAV or CSV) or as one line of figures each.
#pragma once

#include "control_verbs.h"

// words: "trace REG|NAME... [--last SECONDS | --samples N] [--to FILE]".
ControlAnswer TraceVerb(const HistoryRecorder* history, const std::vector<std::string>& words,
                        const RegisterNames& names);
// Why the history leaves reg out, by what it is.
std::string HistoryLeavesOut(uint32_t reg, const RegisterNames& names);
