#include "trigger.h"

#include <algorithm>

std::optional<uint64_t> NewestCrossing(const TraceSamples& trace, uint64_t from, uint64_t to,
                                       Edge edge, int32_t level) {
    from = std::max(from, trace.begin() + 1);
    to = std::min(to, trace.end());
    for (uint64_t t = to; t-- > from;) {
        const int32_t before = trace.at(t - 1), now = trace.at(t);
        if (edge == Edge::Rising ? before < level && level <= now : before > level && level >= now)
            return t;
    }
    return std::nullopt;
}

void Trigger::configure(const TriggerSettings& settings) {
    if (settings == settings_)
        return;
    settings_ = settings;
    rearm();
}

void Trigger::rearm() {
    last_.reset();
}

std::optional<Sweep> Trigger::choose(const TraceSamples& trace, uint64_t width) {
    const uint64_t held = trace.end() - trace.begin();
    if (width == 0 || held < width)
        return std::nullopt;
    if (holding() && *last_ >= trace.begin() + width / kPreTriggerDivisor)
        return Sweep{*last_ - width / kPreTriggerDivisor, true};
    const uint64_t pre = width / kPreTriggerDivisor;
    // A trigger needs a whole sweep after its pre-trigger share; look back
    // no further than a second beyond one sweep, so a flat trace stays cheap.
    const uint64_t newest = trace.end() - (width - pre) + 1;
    const uint64_t lookBack = width + 48000;
    const uint64_t oldest =
        std::max(trace.begin() + pre, newest > lookBack ? newest - lookBack : 0);
    if (const auto t = NewestCrossing(trace, oldest, newest, settings_.edge, settings_.level)) {
        last_ = *t;
        return Sweep{*last_ - pre, true};
    }
    if (last_ && *last_ >= trace.begin() + pre && settings_.mode != TriggerMode::Auto)
        return Sweep{*last_ - pre, true};
    if (settings_.mode == TriggerMode::Auto)
        return Sweep{trace.end() - width, false};
    return std::nullopt;
}
