// The scope without its widgets: the traces' registers and samples, the
// request that asks for more, what each answer does to them, and the sweep
// a screen of some width shows.
#pragma once

#include "min_max.h"
#include "sample_cursor.h"
#include "samples_answer.h"
#include "trace_samples.h"
#include "trigger.h"

#include <cstdint>
#include <string>
#include <vector>

struct ScopeFrame {
    uint64_t from = 0, to = 0; // the samples shown, [from, to)
    bool triggered = false;
    std::vector<std::vector<MinMax>> columns; // one per register, in order
};

// What an answer brought: each register's new samples, oldest first.
struct ScopeTaken {
    bool taken = false; // false: it answered another request, or made no sense
    bool restart = false;
    std::vector<std::vector<int32_t>> fresh;
};

class ScopeModel {
  public:
    // The traces' registers, at most kMaxSamplesRegisters; another set starts over.
    void setRegisters(const std::vector<uint32_t>& registers);
    const std::vector<uint32_t>& registers() const { return registers_; }
    // "samples FROM REG..." for the next answer; empty with no register.
    std::string request() const;

    // The answer to the request line asked. It is taken only if it answers
    // exactly what request() asks now (the registers, their order and the
    // first sample), with a column of the header's count for each register.
    ScopeTaken take(const std::string& asked, const SamplesHeader& header,
                    const std::vector<std::vector<int32_t>>& columns);

    // The trigger on register trace (an index into registers(); -1: none,
    // the screen runs free).
    void setTrigger(int trace, const TriggerSettings& settings);
    // The next answer starts the samples over (another service came).
    void startOver();
    // Single mode: wait for the next trigger again.
    void rearm();
    // The newest sweep of width samples in columns; its columns are empty
    // when there is nothing to show yet.
    ScopeFrame frame(uint64_t width, int columns);

    const TraceSamples& trace(int i) const { return traces_[std::size_t(i)]; }
    const SamplesHeader& last() const { return last_; }
    // The chip's state as the last answer told it, or, while a single sweep
    // holds the screen of a running chip, that sweep's trigger.
    std::string stateText() const;

  private:
    std::vector<uint32_t> registers_;
    std::vector<TraceSamples> traces_;
    SampleCursor cursor_;
    SamplesHeader last_;
    int triggerTrace_ = -1;
    Trigger trigger_;
    ScopeFrame frozen_; // single mode's sweep, once it triggered
};

// "stopped at sample N" when the chip stands by stop, break or watch;
// "standing at sample N" for a chip the service does not run; else "running".
std::string ChipStateText(const SamplesHeader& header);
// A single sweep's, frozen on the trigger at sample.
std::string SingleTriggerText(uint64_t sample);
