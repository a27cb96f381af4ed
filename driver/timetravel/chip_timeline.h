// The simulated chip's past, kept so that the chip can be put back at any
// position in it exactly: a whole state every `interval` samples, the host's
// writes with where each landed, and the frames the bus heard. Going to a
// position rebuilds it from the state at or before it, replaying the writes
// and frames with the fast engine. After going back the recorded future
// stays until the host writes: that forks the timeline, and what was
// recorded after the fork is gone (the frames heard stay: the input at a
// sample is what it was).
//
// The served chip calls it under its lock: Sync before the DSP runs, Ran
// after, and while it stands in the past it runs in legs that end at each
// recorded write (NextStop), making it again there (MakeDue).
#pragma once

#include "chip_state.h"
#include "host_writes.h"
#include "input_frames.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A chip rebuilt from the past, apart from the served one.
struct RebuiltChip {
    ChipImage registers;
    Fx8010Interpreter dsp;
    ReplayedBus bus;
    std::size_t nextWrite = 0; // the first recorded write not yet made
    explicit RebuiltChip(const InputFrames& frames) : bus(dsp, frames) {}
    RebuiltChip(const RebuiltChip&) = delete;
    RebuiltChip& operator=(const RebuiltChip&) = delete;
};

class ChipTimeline {
  public:
    // A jump replays at most `interval` samples: 9,600 (0.2 s) take a few
    // milliseconds with the fast engine, and keep 10 s in 51 states.
    static constexpr int64_t kDefaultInterval = 9600;

    // span: the samples of the past kept, at least.
    explicit ChipTimeline(int64_t span, int64_t interval = kDefaultInterval);

    // The past begins afresh where the chip stands (a load, a new source).
    // fed: whether a bus source feeds the DSP (its frames are recorded), or
    // the test signal, which the DSP's state holds.
    void Restart(const ApsChipWord* registers, Fx8010Interpreter& dsp, bool fed);
    // Before the DSP runs at `at`: takes the host's writes since the last
    // look. True when one came while the chip stood in the past: the
    // timeline forked there, and the caller's observers must hear it.
    bool Sync(const ApsChipWord* registers, ChipPosition at);
    // After the DSP ran from `at` on the shared registers, at the newest,
    // instead of a Sync before: the host's writes it took as it picked the
    // registers up, at `at` (see HostWriteScanner::Took), and those of the
    // registers it does not pick up, where it stands.
    void Took(const ApsChipWord* registers, const Fx8010Interpreter& dsp, bool wholePick,
              ChipPosition at);
    // After the DSP ran: a state every interval samples at the newest.
    void Ran(const ApsChipWord* registers, Fx8010Interpreter& dsp);

    ChipPosition newest() const { return newest_; }
    // The oldest sample that can be gone to.
    uint64_t oldest() const;
    bool Behind(ChipPosition at) const { return at < newest_; }
    // Where a run forward from `at` must stop next: the next recorded write,
    // or the newest position.
    ChipPosition NextStop(ChipPosition at) const;
    // Makes the recorded writes due at `at` (those not yet made before it).
    void MakeDue(ApsChipWord* registers, ChipPosition at);
    // The sample of the last fork, if any.
    std::optional<uint64_t> lastFork() const { return lastFork_; }

    // The chip at `to`, rebuilt; null when the past does not hold it. Check
    // PositionOf(chip->dsp): a to.pc that its sample's path does not reach
    // leaves it at the next sample's start.
    std::unique_ptr<RebuiltChip> Rebuild(ChipPosition to) const;
    // The served chip now stands at `at`, as rebuilt (written as the DSP
    // writes, counting none): the writes after it are still to be made.
    void Moved(const ApsChipWord* registers, ChipPosition at);

    // The chip rebuilt before the last instruction executed before `now`;
    // null when the past does not hold it.
    std::unique_ptr<RebuiltChip> InstructionBefore(ChipPosition now) const;
    // The last stop of targets (a watch's or a saturation's) before `now`,
    // and where the chip stood right after it.
    struct Found {
        DebugStop stop;
        ChipPosition after;
    };
    std::optional<Found> LastStopBefore(ChipPosition now, const DebugTargets& targets) const;

    InputFrames& frames() { return frames_; }
    // What the past takes: the states, the writes and the frames.
    std::size_t bytes() const;
    std::size_t states() const { return states_.size(); }

  private:
    // The chip as state i holds it.
    std::unique_ptr<RebuiltChip> FromState(std::size_t i) const;
    // Runs chip on to `to`, making the recorded writes on the way; with
    // targets, tells found of each of their stops on the way (the chip
    // standing right after it) until it returns false. True when it stands at to.
    using Sink = std::function<bool(const DebugStop&, ChipPosition after)>;
    bool Replay(RebuiltChip& chip, ChipPosition to, const DebugTargets* targets = nullptr,
                const Sink& found = {}) const;
    void Fork(ChipPosition at);
    void Trim();

    const int64_t span_, interval_;
    std::deque<ChipState> states_;
    std::unique_ptr<Fx8010Interpreter> spare_;
    std::deque<HostWrite> writes_;
    std::size_t nextWrite_ = 0; // the first recorded write the served chip has not made
    HostWriteScanner scanner_;
    InputFrames frames_;
    ChipPosition newest_;
    std::optional<uint64_t> lastFork_;
    bool fed_ = false;
    std::vector<HostWrite> scanned_;
};
