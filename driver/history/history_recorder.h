// The chip's recent past: for the last so many samples, every register the
// DSP can change (the GPRs and outputs its microcode writes, the TRAM data
// registers it writes or reads into, the condition codes) as each sample
// left it, and the first saturation of each. It hears the DSP as each sample
// ends, however it was run, and keeps a ring of a fixed size, laid out anew
// for each program: a reload, or microcode or TRAM reads that change what
// the DSP can change, start it afresh.
#pragma once

#include "sample_observer.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class HistoryRecorder : public SampleObserver {
  public:
    static constexpr uint32_t kConditionCodes = 0x57;
    // What a sample costs at most, every register kept: the ceiling of
    // --history follows from it.
    static constexpr std::size_t kMaxBytesPerSample = (32 + 1 + 0x200 + 1) * sizeof(int32_t);

    explicit HistoryRecorder(int64_t samples);
    void SampleEnded(const Fx8010Interpreter& dsp) override;

    struct Saturation {
        uint64_t sample;      // counted from 0 since the load
        uint32_t instruction; // the first one that saturated in it
        bool operator==(const Saturation&) const = default;
    };
    // Some registers over the last samples held: values as the DSP sees
    // them, one column each, oldest first.
    struct Span {
        uint64_t first = 0;  // the sample number of the oldest
        int64_t samples = 0; // how many
        int64_t held = 0;    // samples the history held at all
        std::vector<std::vector<int32_t>> columns;
        std::vector<Saturation> saturations;
        uint64_t load = 0; // the lay-out it came from: a new one on each
        uint64_t next = 0; // the number of the sample the history holds next
    };
    // The last `samples` samples (all with -1), fewer when fewer are held;
    // nullopt when one of registers is not kept (a reload may just have
    // laid the history out anew).
    std::optional<Span> Take(const std::vector<uint32_t>& registers, int64_t samples) const;
    // The samples from number `from` to the newest, at most `most` of the
    // newest, without the saturations: none when from is beyond the newest.
    std::optional<Span> TakeFrom(const std::vector<uint32_t>& registers, uint64_t from,
                                 int64_t most) const;
    bool Keeps(uint32_t reg) const;
    // Samples held since the last load.
    int64_t held() const;
    // The registers kept, in ascending order.
    std::vector<uint32_t> Kept() const;
    int64_t capacity() const { return capacity_; }
    // The memory the ring holds for the program it is laid out for.
    std::size_t bytes() const;

  private:
    void LayOut(const Fx8010Interpreter& dsp);
    // Under the lock: the last `samples` held, with the saturations if asked.
    std::optional<Span> Copy(const std::vector<uint32_t>& registers, int64_t samples,
                             bool saturations) const;

    mutable std::mutex mutex_;
    const int64_t capacity_;
    std::vector<uint16_t> registers_; // a frame's columns, then the saturation
    std::vector<int16_t> column_;     // operand -> its column, -1 not kept
    std::unique_ptr<int32_t[]> ring_;
    std::size_t width_ = 0; // int32s a frame
    int64_t next_ = 0, held_ = 0;
    uint64_t lastSample_ = 0, layout_ = ~uint64_t(0), layouts_ = 0;
};
