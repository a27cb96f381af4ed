#include "chip_timeline.h"

#include "run_to.h"

#include <algorithm>

ChipTimeline::ChipTimeline(int64_t span, int64_t interval)
    : span_(std::max<int64_t>(span, 1)), interval_(std::max<int64_t>(interval, 1)) {}

void ChipTimeline::Restart(const ApsChipWord* registers, Fx8010Interpreter& dsp, bool fed) {
    states_.clear();
    writes_.clear();
    nextWrite_ = 0;
    scanner_.Rebase(registers);
    frames_.Restart(dsp.samples());
    newest_ = PositionOf(dsp);
    lastFork_.reset();
    fed_ = fed;
    states_.push_back(ChipState::Take(registers, dsp, nullptr));
}

bool ChipTimeline::Sync(const ApsChipWord* registers, ChipPosition at) {
    scanned_.clear();
    if (!scanner_.Scan(registers, at, scanned_))
        return false;
    const bool fork = Behind(at);
    if (fork)
        Fork(at);
    writes_.insert(writes_.end(), scanned_.begin(), scanned_.end());
    nextWrite_ = writes_.size();
    return fork;
}

void ChipTimeline::Took(const ApsChipWord* registers, const Fx8010Interpreter& dsp, bool wholePick,
                        ChipPosition at) {
    scanned_.clear();
    const bool took = scanner_.Took(dsp.picked(), wholePick, at, scanned_);
    if (!scanner_.ScanBelowGprs(registers, PositionOf(dsp), scanned_) && !took)
        return;
    writes_.insert(writes_.end(), scanned_.begin(), scanned_.end());
    nextWrite_ = writes_.size();
}

// What was recorded after `at` is another future now.
void ChipTimeline::Fork(ChipPosition at) {
    writes_.erase(writes_.begin() + std::ptrdiff_t(nextWrite_), writes_.end());
    while (states_.size() > 1 && states_.back().at() > at)
        states_.pop_back();
    newest_ = at;
    lastFork_ = at.samples;
}

void ChipTimeline::Ran(const ApsChipWord* registers, Fx8010Interpreter& dsp) {
    scanner_.Reported(registers);
    const ChipPosition at = PositionOf(dsp);
    if (at < newest_)
        return;
    newest_ = at;
    if (int64_t(at.samples - states_.back().at().samples) < interval_)
        return;
    Trim();
    states_.push_back(ChipState::Take(registers, dsp, &states_.back(), std::move(spare_)));
}

// The oldest state kept is the last one at or before the span's start.
void ChipTimeline::Trim() {
    const uint64_t start =
        newest_.samples > uint64_t(span_) ? newest_.samples - uint64_t(span_) : 0;
    while (states_.size() > 1 && states_[1].at().samples <= start) {
        spare_ = states_.front().GiveUpDsp(); // a state's DSP is large: the next one reuses it
        states_.pop_front();
    }
    const ChipPosition first = states_.front().at();
    while (!writes_.empty() && writes_.front().at < first) {
        writes_.pop_front();
        nextWrite_ -= nextWrite_ > 0 ? 1 : 0;
    }
    frames_.DropBefore(first.samples);
}

uint64_t ChipTimeline::oldest() const {
    const ChipPosition first = states_.front().at();
    return first.pc == 0 ? first.samples : first.samples + 1;
}

ChipPosition ChipTimeline::NextStop(ChipPosition at) const {
    (void)at;
    if (nextWrite_ < writes_.size())
        return std::min(writes_[nextWrite_].at, newest_);
    return newest_;
}

// Made as the DSP writes, counting none: the counts move only by the host,
// so a client's write meanwhile is neither lost nor taken for one made again.
void ChipTimeline::MakeDue(ApsChipWord* registers, ChipPosition at) {
    bool made = false;
    for (; nextWrite_ < writes_.size() && writes_[nextWrite_].at <= at; ++nextWrite_) {
        const HostWrite& w = writes_[nextWrite_];
        const ApsChipWord picked = ApsLoadChipWord(&registers[w.reg]);
        ApsPutRegister(&registers[w.reg], picked, WrittenValue(uint32_t(picked), w));
        made = true;
    }
    if (made)
        scanner_.Reported(registers);
}

std::unique_ptr<RebuiltChip> ChipTimeline::FromState(std::size_t i) const {
    const ChipState& state = states_[i];
    auto chip = std::make_unique<RebuiltChip>(frames_);
    chip->registers = state.registers();
    state.RestoreDsp(chip->dsp);
    chip->dsp.SetBusSource(fed_ ? &chip->bus : nullptr);
    chip->dsp.SetSampleObserver(nullptr);
    chip->nextWrite = std::size_t(
        std::lower_bound(writes_.begin(), writes_.end(), state.at(),
                         [](const HostWrite& w, ChipPosition at) { return w.at < at; }) -
        writes_.begin());
    return chip;
}

std::unique_ptr<RebuiltChip> ChipTimeline::Rebuild(ChipPosition to) const {
    if (to > newest_ || to.samples < oldest())
        return nullptr;
    std::size_t i = states_.size();
    while (i > 1 && states_[i - 1].at() > to)
        --i;
    std::unique_ptr<RebuiltChip> chip = FromState(i - 1);
    Replay(*chip, to);
    return chip;
}

void ChipTimeline::Moved(const ApsChipWord* registers, ChipPosition at) {
    nextWrite_ = std::size_t(
        std::upper_bound(writes_.begin(), writes_.end(), at,
                         [](ChipPosition at, const HostWrite& w) { return at < w.at; }) -
        writes_.begin());
    scanner_.Reported(registers);
}

bool ChipTimeline::Replay(RebuiltChip& chip, ChipPosition to, const DebugTargets* targets,
                          const Sink& found) const {
    bool passFirst = false;
    for (;;) {
        const ChipPosition at = PositionOf(chip.dsp);
        for (; chip.nextWrite < writes_.size() && writes_[chip.nextWrite].at <= at;
             ++chip.nextWrite) {
            const HostWrite& w = writes_[chip.nextWrite];
            chip.registers.registers[w.reg] = WrittenValue(chip.registers.registers[w.reg], w);
        }
        if (at >= to)
            return at == to;
        ChipPosition leg = to;
        if (chip.nextWrite < writes_.size() && writes_[chip.nextWrite].at < to)
            leg = writes_[chip.nextWrite].at;
        if (!targets) {
            RunTo(chip.dsp, chip.registers, leg);
            continue;
        }
        DebugStop stop;
        if (at.samples < leg.samples) {
            stop = chip.dsp.RunUntil(chip.registers, *targets, int64_t(leg.samples - at.samples),
                                     passFirst);
        } else {
            // The leg ends inside this sample: a break of its own stops it there.
            DebugTargets legTargets = *targets;
            legTargets.breaks.push_back(leg.pc);
            stop = chip.dsp.RunUntil(chip.registers, legTargets, 1, passFirst);
            const bool theirs = std::find(targets->breaks.begin(), targets->breaks.end(), leg.pc) !=
                                targets->breaks.end();
            if (stop.why == DebugStop::Why::Break && stop.address == leg.pc && !theirs)
                stop.why = DebugStop::Why::Bound;
        }
        passFirst = stop.why == DebugStop::Why::Break;
        if (stop.why != DebugStop::Why::Bound && found && !found(stop, PositionOf(chip.dsp)))
            return false;
    }
}

std::unique_ptr<RebuiltChip> ChipTimeline::InstructionBefore(ChipPosition now) const {
    if (now.pc == 0 && now.samples == 0)
        return nullptr;
    const ChipPosition start = {now.pc > 0 ? now.samples : now.samples - 1, 0};
    const uint32_t limit = now.pc > 0 ? now.pc : uint32_t(kMicrocodeSize);
    std::unique_ptr<RebuiltChip> chip = Rebuild(start);
    if (!chip || PositionOf(chip->dsp) != start)
        return nullptr;
    // Most often the instruction just before is the one.
    auto tried = std::make_unique<RebuiltChip>(frames_);
    tried->registers = chip->registers;
    tried->dsp = chip->dsp;
    tried->dsp.SetBusSource(fed_ ? &tried->bus : nullptr);
    tried->nextWrite = chip->nextWrite;
    if (Replay(*tried, {start.samples, limit - 1}))
        return tried;
    // Else the last of those the sample's path passes.
    DebugTargets every;
    for (uint32_t i = 0; i < limit; ++i)
        every.breaks.push_back(i);
    std::optional<ChipPosition> last;
    Replay(*chip, now, &every, [&](const DebugStop&, ChipPosition after) {
        if (after.samples == start.samples)
            last = after;
        return true;
    });
    return last ? Rebuild(*last) : nullptr;
}

std::optional<ChipTimeline::Found> ChipTimeline::LastStopBefore(ChipPosition now,
                                                                const DebugTargets& targets) const {
    for (std::size_t i = states_.size(); i-- > 0;) {
        if (states_[i].at() >= now)
            continue;
        const ChipPosition end = i + 1 < states_.size() ? std::min(states_[i + 1].at(), now) : now;
        std::unique_ptr<RebuiltChip> chip = FromState(i);
        std::optional<Found> last;
        Replay(*chip, end, &targets, [&](const DebugStop& stop, ChipPosition after) {
            if (after < now)
                last = Found{stop, after};
            return true;
        });
        if (last)
            return last;
    }
    return std::nullopt;
}

std::size_t ChipTimeline::bytes() const {
    std::size_t total = writes_.size() * sizeof(HostWrite) + frames_.bytes();
    for (const ChipState& state : states_)
        total += state.ownBytes();
    return total;
}
