// emuapsctl's trace: the history of some registers, as a file the service
// writes (WAV or CSV) or as one line of figures each.
#pragma once

#include "control_verbs.h"

#include <cstddef>
#include <cstdint>

// Without a file, one line of figures a register: no more than an answer holds.
constexpr std::size_t kMaxTraceFigures = 64;
// A trace's most registers x samples (the newest that many), so that one
// trace is written in a second or so, whatever the history holds: 69
// registers of 10 s, a WAV file of 128 MiB.
constexpr int64_t kMaxTraceValues = int64_t(1) << 25;

// words: "trace REG|NAME... [--last SECONDS | --samples N] [--to FILE]";
// maxValues in place of kMaxTraceValues for a test. A control's range is
// said in its unit too.
ControlAnswer TraceVerb(const HistoryRecorder* history, const std::vector<std::string>& words,
                        const RegisterNames& names, int64_t maxValues = kMaxTraceValues,
                        const std::vector<ControlInfo>& controls = {});
// Why the history leaves reg out, by what it is.
std::string HistoryLeavesOut(uint32_t reg, const RegisterNames& names);
// Why a read of the history gave nothing, as verb says it; "" when it did.
std::string HistoryReadProblem(const HistoryRecorder::Read& read, const RegisterNames& names,
                               const std::string& verb);
