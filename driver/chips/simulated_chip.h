// An EMU10K1 without hardware: 0x800 32-bit registers in memory shared with
// the client that holds the device, filled from a chip image, and a DSP that
// runs the microcode in those registers when asked to. The client's port
// accesses and the DSP meet in that one register file.
#pragma once

#include "chip_backend.h"
#include "chip_image.h"
#include "chip_lock.h"
#include "chip_timeline.h"
#include "fx8010_interpreter.h"
#include "run_rate.h"
#include "shared_chip_memory.h"
#include "taken_registers.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class SimulatedChip : public ChipBackend {
  public:
    SimulatedChip();

    // The ports over the shared register file, with a pointer register of
    // this process's own, for requests carried out here (the service's own
    // tests and benchmarks); valid until the chip is next reclaimed.
    ApsChipPorts Ports();
    ChipHandout Handout() const override;
    // Moves the DSP, under its lock, onto fresh memory holding a copy of the
    // registers; the old memory is the gone holder's alone.
    bool Reclaim() override;

    // Replaces every register, word by word, and powers the DSP up afresh.
    // A reader in the middle of it sees each register either old or new.
    // The observers get ready for the image first, outside the lock.
    void Load(const ChipImage& image);
    // Swaps fresh in between two samples, under the lock, keeping what carry
    // says of the running state; the DSP runs on, its count of samples and
    // history with it. Registers it leaves alone are not written. False,
    // having changed nothing, while the DSP stands inside a sample.
    bool Swap(const ChipImage& fresh, const StateCarry& carry);
    // A copy of the registers.
    ChipImage Snapshot();
    // Executes whole samples; a reload never falls inside them. Returns the
    // samples run: 0 while the debug register stops the DSP.
    int Run(int samples, const DspBlockIo& io = {});
    // The same, unless the chip's lock stays taken for longer than `wait`
    // (a verb runs the chip): then -1 at once, having run nothing.
    int RunWithin(int samples, const DspBlockIo& io, std::chrono::microseconds wait);
    // The effects bus from source, sample by sample, however the DSP is run
    // (by the clock, a step, an advance or a watch); null for the test signal.
    void FeedBus(BusSource* source);
    // Told of every sample the DSP ends, whatever ran it, with the others
    // observing, until Unobserve; null adds none.
    void Observe(SampleObserver* observer);
    void Unobserve(SampleObserver* observer);
    // Stopped by the debug register with nothing asked of the DSP: a caller
    // that runs the chip need not wake it.
    bool Idle();

    // The debugger's requests, each whole under the chip's lock.
    using Position = ChipPosition;
    uint32_t Read(uint32_t reg);
    // Returns where the DSP stood when the value arrived: it sees it from there on.
    Position Write(uint32_t reg, uint32_t value);
    // Single-step mode on or off, as Linux's STOP and CONTINUE. These, the
    // clear and the step change only their own bits of DBG: a client's write
    // of the others, whenever it comes, stays.
    void Stop();
    void Continue();
    // Forgets DBG's recorded saturation, the rest of DBG as it is.
    void ClearSaturation();
    // One instruction, as Linux's SINGLE_STEP writes it to the debug register.
    void Step(uint32_t address);
    // Whole samples, the partly run one first, in slices as RunUntil runs
    // them; returns the samples run, fewer when cancelled() said so.
    int64_t Advance(int64_t samples, const std::function<bool()>& cancelled = {});
    // Runs until a target is met, `samples` samples have ended or cancelled()
    // says so, in slices of kDebugSlice samples that let port requests in;
    // leaves the chip stopped.
    DebugStop RunUntil(const DebugTargets& targets, int64_t samples,
                       const std::function<bool()>& cancelled = {});
    // About 10 ms of the chip, run in a millisecond or so: the longest that
    // a debugging run holds the chip at once.
    static constexpr int kDebugSlice = 480;
    Position position();
    // count samples of a TRAM pool from first, as far as the pool holds
    // them, and the pool's size in *size.
    std::vector<int16_t> TramSamples(bool external, uint32_t first, uint32_t count, uint32_t* size);
    // The chip's pace over the last second as a multiple of real time,
    // whatever ran it (see RunRate); 0 once it stands.
    double RunFactor();
    // For tests: the clock RunFactor reads.
    void SetClock(std::function<RunRate::Clock::time_point()> now);
    // For tests: runs between the read and the swap of each of the changes
    // above, where a client's write would be lost to a plain write.
    void SetDbgChangeSeam(std::function<void()> seam);
    // Executes the step the debug register asks for, if any, then waits for
    // the host's next write of it, `stop` set (with a WakeDebugWaiter), or
    // `limit`.
    void ServeDebugRegister(std::chrono::milliseconds limit, const std::atomic<bool>& stop);
    void WakeDebugWaiter();

    // Keeps the chip's past, at least `samples` of it, to go back to (see
    // ChipTimeline); from where the chip stands, and afresh at each load.
    void KeepPast(int64_t samples, int64_t interval = ChipTimeline::kDefaultInterval);
    // The past as the verbs tell of it; nullopt while none is kept.
    struct Past {
        uint64_t oldest = 0;
        Position newest;
        std::optional<uint64_t> fork; // the sample of the last fork
        std::size_t bytes = 0;
        std::size_t states = 0;
    };
    std::optional<Past> past();
    // Stands the chip stopped at `to` in its past, exactly; false, the chip
    // as it was, when the past does not hold it or to.pc is off its sample's path.
    bool GoTo(Position to);
    // Stands it before the last instruction it executed; false when the
    // past does not hold that.
    bool StepBack();
    // Stands it right after the last stop of targets before where it
    // stands, and says which; nullopt, the chip as it was, for none.
    std::optional<DebugStop> RunBack(const DebugTargets& targets);
    // For tests: the DSP with all it keeps to itself, as it stands.
    std::unique_ptr<Fx8010Interpreter> CopyDsp();

  private:
    // Around each run of the DSP, under the lock: the host's writes taken
    // into the past before, and the past's writes made again and its states
    // taken after. Attach gives the observers the samples unless the chip
    // replays what they heard. Without an argument, on the shared registers.
    void Sync(ApsChipWord* registers = nullptr);
    void After(ApsChipWord* registers);
    void Attach();
    // One run of the DSP, run(registers), with the past kept around it: at
    // the newest on the shared registers, the writes the DSP picked up
    // logged after it; replaying the past on registers taken whole and
    // scanned before it (TakenRegisters).
    template <class F> auto Taken(F run);
    int RunLocked(int samples, const DspBlockIo& io);
    // Whole samples in legs that end where the past has a write to make
    // again; run(registers, n, done) runs n of them. Returns the samples run.
    template <class F> int64_t Forward(int64_t samples, F run);
    void TakeRebuilt(RebuiltChip& chip);
    Position Here() const { return {dsp_.samples(), dsp_.pc()}; }
    // Tells rate_ the count of samples after the DSP ran, or that it stood;
    // under the lock.
    void Counted(bool stood = false);

    // Shared with a ServeDebugRegister that waits on it across a Reclaim.
    std::shared_ptr<SharedChipMemory> memory_;
    // memory_'s descriptor, for Handout without the lock: a running DSP takes
    // the lock block after block, and a client opening the device must not
    // wait behind it past its time limit.
    std::atomic<int> memoryFd_;
    mutable ChipLock mutex_;
    Fx8010Interpreter dsp_;
    SampleObservers observers_;
    uint32_t pointer_ = 0; // for Ports()
    std::function<void()> dbgSeam_;
    RunRate rate_;
    std::unique_ptr<ChipTimeline> past_;
    TakenRegisters taken_;                     // with past_
    std::unique_ptr<RecordedBus> recordedBus_; // with past_: what the bus heard
    BusSource* liveBus_ = nullptr;
    std::function<RunRate::Clock::time_point()> now_ = RunRate::Clock::now;
};
