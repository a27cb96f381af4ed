#include "run_rate.h"

#include "audio_samples.h"

void RunRate::Ran(uint64_t samples, Clock::time_point now) {
    if (samples < last_)
        return Stood(samples);
    if (samples == last_) {
        if (!counts_.empty() && now - counts_.back().at >= kStand)
            Stood(samples);
        return;
    }
    last_ = samples;
    if (counts_.empty())
        begun_ = now;
    if (now - begun_ < kSettle) {
        counts_.assign(1, {now, samples});
        return;
    }
    while (!counts_.empty() && counts_.front().at < now - kWindow)
        counts_.pop_front();
    // Counts closer together than this add nothing: the newest moves on.
    if (counts_.size() >= 2 && now - counts_[counts_.size() - 2].at < kSettle)
        counts_.back() = {now, samples};
    else
        counts_.push_back({now, samples});
}

void RunRate::Stood(uint64_t samples) {
    counts_.clear();
    last_ = samples;
}

double RunRate::Factor(Clock::time_point now) const {
    auto oldest = counts_.begin();
    while (oldest != counts_.end() && oldest->at < now - kWindow)
        ++oldest;
    if (oldest == counts_.end() || oldest->at == counts_.back().at)
        return 0;
    const double seconds = std::chrono::duration<double>(counts_.back().at - oldest->at).count();
    return double(counts_.back().samples - oldest->samples) / kChipSampleRate / seconds;
}
