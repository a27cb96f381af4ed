#include "history_recorder.h"

#include "fx8010_interpreter.h"

#include <algorithm>

namespace {
constexpr uint32_t kOutputs = 0x20, kOutputsEnd = 0x40, kGprs = 0x100, kTramAddress = 0x300;
} // namespace

HistoryRecorder::HistoryRecorder(int64_t samples)
    : capacity_(std::max<int64_t>(samples, 1)), column_(0x400, -1) {}

// On the DSP's thread, under the chip's lock: a copy of the frame, no more.
void HistoryRecorder::SampleEnded(const Fx8010Interpreter& dsp) {
    std::lock_guard lock(mutex_);
    if (dsp.layout() != layout_ || dsp.samples() != lastSample_ + 1)
        LayOut(dsp);
    const int32_t* operands = dsp.operands();
    int32_t* frame = ring_.get() + std::size_t(next_) * width_;
    const std::size_t kept = width_ - 1;
    for (std::size_t i = 0; i < kept; ++i)
        frame[i] = operands[registers_[i]];
    frame[kept] = dsp.saturatedInSample();
    next_ = next_ + 1 == capacity_ ? 0 : next_ + 1;
    held_ = std::min(held_ + 1, capacity_);
    lastSample_ = dsp.samples();
}

// Only the reload or the new program lays out: the one allocation.
void HistoryRecorder::LayOut(const Fx8010Interpreter& dsp) {
    const auto& changeable = dsp.changeable();
    registers_.clear();
    std::fill(column_.begin(), column_.end(), -1);
    for (uint32_t reg = 0; reg < kTramAddress; ++reg) {
        const bool kept =
            reg == kConditionCodes || (reg >= kOutputs && reg < kOutputsEnd) || reg >= kGprs;
        if (kept && (changeable.test(reg) || reg == kConditionCodes)) {
            column_[reg] = int16_t(registers_.size());
            registers_.push_back(uint16_t(reg));
        }
    }
    const std::size_t width = registers_.size() + 1;
    if (width != width_ || !ring_)
        ring_.reset(new int32_t[std::size_t(capacity_) * width]);
    width_ = width;
    next_ = held_ = 0;
    layout_ = dsp.layout();
    ++layouts_;
}

bool HistoryRecorder::Keeps(uint32_t reg) const {
    std::lock_guard lock(mutex_);
    return reg < column_.size() && column_[reg] >= 0;
}

int64_t HistoryRecorder::held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

std::vector<uint32_t> HistoryRecorder::Kept() const {
    std::lock_guard lock(mutex_);
    return {registers_.begin(), registers_.end()};
}

std::size_t HistoryRecorder::bytes() const {
    std::lock_guard lock(mutex_);
    return ring_ ? std::size_t(capacity_) * width_ * sizeof(int32_t) : 0;
}

std::optional<HistoryRecorder::Span> HistoryRecorder::Take(const std::vector<uint32_t>& registers,
                                                           int64_t samples) const {
    std::lock_guard lock(mutex_);
    return Copy(registers, samples < 0 ? held_ : samples, true);
}

std::optional<HistoryRecorder::Span>
HistoryRecorder::TakeFrom(const std::vector<uint32_t>& registers, uint64_t from,
                          int64_t most) const {
    std::lock_guard lock(mutex_);
    const int64_t since =
        from >= lastSample_ ? 0 : int64_t(std::min<uint64_t>(lastSample_ - from, uint64_t(held_)));
    return Copy(registers, std::clamp<int64_t>(since, 0, std::max<int64_t>(most, 0)), false);
}

// The DSP thread waits on the lock every sample: whole runs of frames, no
// more than asked.
std::optional<HistoryRecorder::Span> HistoryRecorder::Copy(const std::vector<uint32_t>& registers,
                                                           int64_t samples,
                                                           bool saturations) const {
    for (uint32_t reg : registers)
        if (reg >= column_.size() || column_[reg] < 0)
            return std::nullopt;
    Span span;
    span.held = held_;
    span.samples = std::min(samples, held_);
    span.first = lastSample_ - uint64_t(span.samples);
    span.load = layouts_;
    span.next = lastSample_;
    // The oldest frame taken, where the ring holds it.
    const int64_t start = (next_ - span.samples + capacity_) % capacity_;
    const int64_t wrap = std::min(span.samples, capacity_ - start); // frames before the ring's end
    auto frame = [&](int64_t k) {
        return ring_.get() + std::size_t(k < wrap ? start + k : k - wrap) * width_;
    };
    span.columns.resize(registers.size());
    for (std::size_t c = 0; c < registers.size() && span.samples > 0; ++c) {
        std::vector<int32_t>& column = span.columns[c];
        column.resize(std::size_t(span.samples));
        const std::size_t at = std::size_t(column_[registers[c]]);
        const int32_t* from = ring_.get() + std::size_t(start) * width_ + at;
        for (int64_t k = 0; k < wrap; ++k, from += width_)
            column[std::size_t(k)] = *from;
        from = ring_.get() + at;
        for (int64_t k = wrap; k < span.samples; ++k, from += width_)
            column[std::size_t(k)] = *from;
    }
    if (saturations)
        for (int64_t k = 0; k < span.samples; ++k)
            if (const int32_t address = frame(k)[width_ - 1]; address >= 0)
                span.saturations.push_back({span.first + uint64_t(k), uint32_t(address)});
    return span;
}
