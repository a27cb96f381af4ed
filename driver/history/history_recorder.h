// The chip's recent past: for the last so many samples, every register the
// DSP can change (the GPRs and outputs its microcode writes, the TRAM data
// registers it writes or reads into, the condition codes) as each sample
// left it, and the first saturation of each. It hears the DSP as each sample
// ends, however it was run, and keeps a ring of a fixed size, laid out anew
// for each program: a load, or microcode or TRAM reads that change what
// the DSP can change, start it afresh. A program swapped in keeping state
// keeps the history of each register it carried over, under its new
// address; its new registers start empty at the swap.
//
// The DSP never waits for memory: a ring is taken outside the chip's lock,
// by the thread that loads the chip or by the recorder's own thread, the old
// one given back first. Until it is there the DSP runs on unrecorded; a ring
// that cannot be had leaves the history off, and says why.
#pragma once

#include "sample_observer.h"

#include <bitset>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class HistoryRecorder : public SampleObserver {
  public:
    static constexpr uint32_t kConditionCodes = 0x57;
    // The DSP's, for the seconds the log names.
    static constexpr int kSampleRate = 48000;
    // The most registers a program can have kept: outputs, GPRs, TRAM data
    // and the condition codes.
    static constexpr std::size_t kMaxKept = 32 + 0x100 + 0x100 + 1;
    // Columns a ring holds beyond its program's, for the registers a swapped
    // in program adds beyond those it drops.
    static constexpr std::size_t kSpareColumns = 8;
    // The most values a reader copies under the lock at once: what it can
    // hold the DSP up for.
    static constexpr std::size_t kPieceValues = std::size_t(1) << 15;
    // From this size on the log warns of the memory a program's history takes.
    static constexpr std::size_t kLargeBytes = std::size_t(512) << 20;
    using Log = std::function<void(const std::string&)>;

    // samples: how many the history holds; log hears each ring taken or
    // refused, from whichever thread took it.
    explicit HistoryRecorder(int64_t samples, Log log = {});
    ~HistoryRecorder() override;
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    void SampleEnded(const Fx8010Interpreter& dsp) override;
    // Takes the ring for the image's program before the chip loads it, so
    // that the history holds it from its first sample.
    void Loading(const ChipImage& image) override;
    void Loaded() override;
    // Forgets the samples after `samples`: the chip went back and forked.
    void Forked(uint64_t samples) override;
    void Swapped(const StateCarry& carry) override;

    // The memory a ring of samples for registers takes, a margin included
    // that keeps a slow reader's oldest samples from being overwritten.
    static std::size_t RingBytes(int64_t samples, std::size_t registers);

    struct Saturation {
        uint64_t sample;      // counted from 0 since the load
        uint32_t instruction; // the first one that saturated in it
        bool operator==(const Saturation&) const = default;
    };
    // Which samples a read took.
    struct Extent {
        uint64_t first = 0;  // the sample number of the oldest
        int64_t samples = 0; // how many
        int64_t held = 0;    // samples the history held at all
        uint64_t load = 0;   // the lay-out it came from: a new one on each
        uint64_t next = 0;   // the number of the sample the history holds next
    };
    // Rows of a read, oldest first: each the registers asked for as the DSP
    // saw them, then the first instruction that saturated in that sample
    // (-1 none); stride values a row.
    struct Piece {
        uint64_t first = 0; // the sample number of the first row
        int64_t rows = 0;
        std::size_t stride = 0;
        const int32_t* values = nullptr;
    };
    struct Read {
        enum class Outcome {
            kRead,     // all of extent, piece by piece (none while laying out)
            kOff,      // no ring could be had: off says why
            kNotKept,  // notKept is not kept
            kReloaded, // laid out anew meanwhile
            kOverrun,  // the DSP overwrote samples before they were read
            kStopped,  // the reader's sink stopped it
        };
        Outcome outcome = Outcome::kRead;
        Extent extent;
        uint32_t notKept = 0;
        std::string off;
    };
    using Sink = std::function<bool(const Piece&)>;
    // Reads registers from sample `from` (the oldest held when older) to the
    // newest, at most `most` of the newest. Each piece is copied under the
    // lock alone, at most kPieceValues values, and given to sink outside it,
    // so the DSP runs on meanwhile; sink returns false to stop.
    Read ReadPieces(const std::vector<uint32_t>& registers, uint64_t from, int64_t most,
                    const Sink& sink) const;

    // Some registers over the last samples held, whole: values as the DSP
    // sees them, one column each, oldest first. For small reads.
    struct Span : Extent {
        std::vector<std::vector<int32_t>> columns;
        std::vector<Saturation> saturations;
    };
    // The last `samples` samples (all with -1), fewer when fewer are held;
    // nullopt when the read is not whole.
    std::optional<Span> Take(const std::vector<uint32_t>& registers, int64_t samples) const;
    // The samples from number `from` to the newest, at most `most` of them.
    std::optional<Span> TakeFrom(const std::vector<uint32_t>& registers, uint64_t from,
                                 int64_t most) const;

    // Samples held since the last load.
    int64_t held() const;
    // The registers kept, in ascending order.
    std::vector<uint32_t> Kept() const;
    int64_t capacity() const { return capacity_; }
    // The memory the ring holds for the program it is laid out for.
    std::size_t bytes() const;
    // Whether the history has its ring for what the DSP last ran; false
    // while the ring is being taken, or when none could be.
    bool ready() const;
    // Called before each piece of a read is copied, outside the lock, with
    // the values it will copy: a test's pause point.
    void SetPieceHook(std::function<void(std::size_t values)> hook) {
        pieceHook_ = std::move(hook);
    }
    // The ring's memory, taken by an Allocate: a test's stands in for a
    // machine without it (null for none).
    using Ring = std::unique_ptr<int32_t[], std::function<void(int32_t*)>>;
    using Allocate = std::function<Ring(std::size_t values)>;
    void SetAllocate(Allocate allocate);

  private:
    using Registers = std::bitset<0x400>;
    // Under the lock, on the DSP's thread: the registers kept of what dsp can
    // change, and a ring for them if there is one; else asks for one.
    void Adopt(const Fx8010Interpreter& dsp);
    // Under the lock: hands the columns of the registers the last swap
    // carried to their new addresses, and free ones to its new registers,
    // born at sample `born`; false when they do not fit.
    bool Move(const Registers& kept, uint64_t born);
    // Takes a ring for kept, the old one given back first: outside the lock.
    void Build(const Registers& kept);
    void Work();
    int64_t RingFrames() const;

    mutable std::mutex mutex_;
    const int64_t capacity_;
    const Log log_;
    std::function<void(std::size_t)> pieceHook_;
    Allocate allocate_;
    // The ring and what it is laid out for.
    Ring ring_;
    Registers ringKept_, adopted_;
    std::vector<uint16_t> registers_; // a frame's columns, then the saturation
    std::vector<int16_t> column_;     // operand -> its column, -1 not kept
    std::vector<uint64_t> born_;      // a column's first sample held
    // The register moves of a swap the next sample takes up.
    std::vector<std::pair<uint32_t, uint32_t>> carried_;
    bool swapped_ = false;
    std::size_t width_ = 0; // int32s a frame
    bool recording_ = false;
    int64_t next_ = 0, stored_ = 0;
    uint64_t lastSample_ = 0, layout_ = ~uint64_t(0), layouts_ = 0;
    // Loads under way: their samples of the old program are not kept.
    int pendingLoads_ = 0;
    // The ring the DSP waits for, and one that could not be had.
    std::optional<Registers> wanted_, failed_;
    std::string off_;
    // One ring is taken at a time, by a load or by the thread.
    std::mutex building_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread worker_;
};
