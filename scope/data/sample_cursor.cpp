#include "sample_cursor.h"

CursorStep SampleCursor::take(const SamplesHeader& header) {
    const uint64_t end = header.count > 0 ? header.first + uint64_t(header.count) : header.at;
    CursorStep step;
    if (!known_ || header.load != load_ || header.at < next_ ||
        (header.count > 0 ? header.first : header.at) > next_)
        step.restart = true;
    else if (header.count > 0)
        step.skip = int64_t(next_ - header.first) < header.count ? int64_t(next_ - header.first)
                                                                 : header.count;
    known_ = true;
    load_ = header.load;
    if (step.restart || end > next_)
        next_ = end;
    return step;
}
