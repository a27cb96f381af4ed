// Which sample to ask the service for next, and what each answer means for
// the samples held: more of the same, or a start over (a new load, a history
// that went back, or samples lost between two answers).
#pragma once

#include "samples_answer.h"

#include <cstdint>

struct CursorStep {
    bool restart = false; // forget what is held; the answer's first sample starts it
    int64_t skip = 0;     // leading samples of the answer already held
};

class SampleCursor {
  public:
    // The FROM of the next request: 0 at first (the service then gives its newest).
    uint64_t from() const { return known_ ? next_ : 0; }
    // Another set of registers: the next answer starts over.
    void reset() { known_ = false; }
    CursorStep take(const SamplesHeader& header);

  private:
    bool known_ = false;
    uint64_t load_ = 0;
    uint64_t next_ = 0;
};
