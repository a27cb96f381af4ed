#include "history_recorder.h"

#include "fx8010_interpreter.h"
#include "state_carry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

namespace {

constexpr uint32_t kOutputs = 0x20, kOutputsEnd = 0x40, kGprs = 0x100, kTramAddress = 0x300;
constexpr uint64_t kNoLayout = ~uint64_t(0);
// What a free column records: an operand never kept.
constexpr uint16_t kFree = 0;

// What the history keeps of what the DSP can change.
std::bitset<0x400> KeptOf(const std::bitset<0x400>& changeable) {
    std::bitset<0x400> kept;
    for (uint32_t reg = 0; reg < kTramAddress; ++reg)
        if ((reg >= kOutputs && reg < kOutputsEnd) || reg >= kGprs)
            kept[reg] = changeable.test(reg);
    kept.set(HistoryRecorder::kConditionCodes);
    return kept;
}

// What the DSP will be able to change once image is loaded, as it decodes it.
std::bitset<0x400> ChangeableIn(const ChipImage& image) {
    auto dsp = std::make_unique<Fx8010Interpreter>();
    auto copy = std::make_unique<ChipImage>(image);
    dsp->Advance(*copy, 0);
    return dsp->changeable();
}

std::string Figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

HistoryRecorder::HistoryRecorder(int64_t samples, Log log)
    : capacity_(std::max<int64_t>(samples, 1)), log_(std::move(log)), column_(0x400, -1) {
    registers_.reserve(kMaxKept + kSpareColumns);
    born_.reserve(kMaxKept + kSpareColumns);
    carried_.reserve(0x800); // a swap under the chip's lock takes no memory
    worker_ = std::thread([this] { Work(); });
}

HistoryRecorder::~HistoryRecorder() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::size_t HistoryRecorder::RingBytes(int64_t samples, std::size_t registers) {
    const auto frames = std::size_t(std::max<int64_t>(samples, 1));
    return (frames + frames / 8) * (registers + kSpareColumns + 1) * sizeof(int32_t);
}

int64_t HistoryRecorder::RingFrames() const {
    return capacity_ + capacity_ / 8;
}

void HistoryRecorder::SetAllocate(Allocate allocate) {
    std::lock_guard build(building_);
    allocate_ = std::move(allocate);
}

// On the DSP's thread, under the chip's lock: a copy of the frame, no more.
void HistoryRecorder::SampleEnded(const Fx8010Interpreter& dsp) {
    std::lock_guard lock(mutex_);
    if (pendingLoads_ > 0)
        return; // the old program's last samples
    if (swapped_ || dsp.layout() != layout_ || dsp.samples() != lastSample_ + 1)
        Adopt(dsp);
    lastSample_ = dsp.samples();
    if (!recording_)
        return;
    const int32_t* operands = dsp.operands();
    int32_t* frame = ring_.get() + std::size_t(next_) * width_;
    const std::size_t kept = width_ - 1;
    for (std::size_t i = 0; i < kept; ++i)
        frame[i] = operands[registers_[i]];
    frame[kept] = dsp.saturatedInSample();
    const int64_t frames = RingFrames();
    next_ = next_ + 1 == frames ? 0 : next_ + 1;
    stored_ = std::min(stored_ + 1, frames);
}

void HistoryRecorder::Forked(uint64_t samples) {
    std::lock_guard lock(mutex_);
    if (samples >= lastSample_)
        return;
    const int64_t frames = RingFrames();
    const int64_t dropped = int64_t(std::min<uint64_t>(lastSample_ - samples, uint64_t(stored_)));
    stored_ -= dropped;
    next_ = ((next_ - dropped) % frames + frames) % frames;
    lastSample_ = samples;
    ++layouts_; // a reader's samples after the fork are another future's
}

// Nothing here allocates: a ring that does not fit is the thread's to take.
void HistoryRecorder::Swapped(const StateCarry& carry) {
    std::lock_guard lock(mutex_);
    carried_.clear();
    for (const auto& move : carry.registers)
        if (carried_.size() < carried_.capacity())
            carried_.push_back(move);
    swapped_ = true;
}

bool HistoryRecorder::Move(const Registers& kept, uint64_t born) {
    std::array<int16_t, 0x400> next;
    next.fill(-1);
    std::bitset<kMaxKept + kSpareColumns> taken;
    const auto follow = [&](uint32_t from, uint32_t to) {
        if (from < column_.size() && to < next.size() && column_[from] >= 0 && kept.test(to) &&
            next[to] < 0 && !taken.test(std::size_t(column_[from]))) {
            next[to] = column_[from];
            taken.set(std::size_t(column_[from]));
        }
    };
    for (const auto& [from, to] : carried_)
        follow(from, to);
    // The outputs and the condition codes mean the same wherever a program is.
    for (uint32_t reg = kOutputs; reg < kOutputsEnd; ++reg)
        follow(reg, reg);
    follow(kConditionCodes, kConditionCodes);
    const std::size_t columns = width_ - 1;
    std::size_t free = 0;
    for (uint32_t reg = 0; reg < next.size(); ++reg) {
        if (!kept.test(reg) || next[reg] >= 0)
            continue;
        while (free < columns && taken.test(free))
            ++free;
        if (free == columns)
            return false;
        next[reg] = int16_t(free);
        taken.set(free);
        born_[free] = born; // what it held was another register's
    }
    std::fill(registers_.begin(), registers_.end(), kFree);
    for (uint32_t reg = 0; reg < next.size(); ++reg) {
        column_[reg] = next[reg];
        if (next[reg] >= 0)
            registers_[std::size_t(next[reg])] = uint16_t(reg);
    }
    ringKept_ = kept;
    wanted_ = kept;
    return true;
}

void HistoryRecorder::Adopt(const Fx8010Interpreter& dsp) {
    const Registers kept = KeptOf(dsp.changeable());
    const bool swapped = std::exchange(swapped_, false);
    if (swapped && recording_ && dsp.samples() == lastSample_ + 1 && Move(kept, lastSample_)) {
        adopted_ = kept;
        layout_ = dsp.layout();
        ++layouts_; // a reader's columns moved
        return;
    }
    adopted_ = kept;
    layout_ = dsp.layout();
    std::fill(born_.begin(), born_.end(), 0);
    next_ = stored_ = 0;
    ++layouts_;
    recording_ = ring_ && ringKept_ == kept;
    if (!recording_ && wanted_ != kept) {
        wanted_ = kept;
        wake_.notify_one();
    }
}

void HistoryRecorder::Loading(const ChipImage& image) {
    std::optional<Registers> kept;
    try {
        kept = KeptOf(ChangeableIn(image));
    } catch (const std::bad_alloc&) {
        // Then the DSP asks for its ring once it runs the program.
    }
    {
        std::lock_guard lock(mutex_);
        ++pendingLoads_;
        if (!kept)
            return;
        wanted_ = kept;
        if (failed_ == kept)
            failed_.reset(); // a reload tries again
    }
    Build(*kept);
}

void HistoryRecorder::Loaded() {
    std::lock_guard lock(mutex_);
    --pendingLoads_;
    layout_ = kNoLayout;
}

void HistoryRecorder::Build(const Registers& kept) {
    std::lock_guard build(building_);
    Ring ring;
    {
        std::lock_guard lock(mutex_);
        if (wanted_ != kept || (ring_ && ringKept_ == kept))
            return;
        ring = std::move(ring_); // never two rings at once
        recording_ = false;
        next_ = stored_ = 0;
    }
    ring.reset();
    const std::size_t count = kept.count();
    const std::size_t bytes = RingBytes(capacity_, count);
    const std::size_t values = bytes / sizeof(int32_t);
    // Zeroed here, so the DSP never meets a page the system has yet to give.
    ring = allocate_ ? allocate_(values)
                     : Ring(new (std::nothrow) int32_t[values](), [](int32_t* p) { delete[] p; });
    const std::string what = std::to_string(std::llround(double(bytes) / (1 << 20))) + " MiB for " +
                             Figure(double(capacity_) / kSampleRate) + " s of " +
                             std::to_string(count) + " registers";
    std::string said;
    {
        std::lock_guard lock(mutex_);
        if (!ring) {
            failed_ = kept;
            off_ = "the history is off: cannot take " + what;
            said = off_;
        } else if (wanted_ == kept) {
            ring_ = std::move(ring);
            ringKept_ = kept;
            registers_.clear();
            std::fill(column_.begin(), column_.end(), -1);
            for (uint32_t reg = 0; reg < kTramAddress; ++reg)
                if (kept.test(reg)) {
                    column_[reg] = int16_t(registers_.size());
                    registers_.push_back(uint16_t(reg));
                }
            registers_.resize(registers_.size() + kSpareColumns, kFree);
            born_.assign(registers_.size(), 0);
            width_ = registers_.size() + 1;
            layout_ = kNoLayout; // the next sample takes it up
            failed_.reset();
            off_.clear();
            said = "the history takes " + what;
            if (bytes >= kLargeBytes)
                said += ", a large part of memory; emuapsd --history=SECONDS keeps less";
        }
    }
    if (log_ && !said.empty())
        log_(said);
}

void HistoryRecorder::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] {
            return stopping_ ||
                   (wanted_ && wanted_ != failed_ && !(ring_ && ringKept_ == *wanted_));
        });
        if (stopping_)
            return;
        const Registers kept = *wanted_;
        lock.unlock();
        Build(kept);
        lock.lock();
    }
}

int64_t HistoryRecorder::held() const {
    std::lock_guard lock(mutex_);
    return std::min(stored_, capacity_);
}

std::vector<uint32_t> HistoryRecorder::Kept() const {
    std::lock_guard lock(mutex_);
    std::vector<uint32_t> kept;
    for (uint32_t reg = 0; reg < column_.size(); ++reg)
        if (column_[reg] >= 0)
            kept.push_back(reg);
    return kept;
}

std::size_t HistoryRecorder::bytes() const {
    std::lock_guard lock(mutex_);
    return ring_ ? RingBytes(capacity_, registers_.size() - kSpareColumns) : 0;
}

bool HistoryRecorder::ready() const {
    std::lock_guard lock(mutex_);
    return ring_ && ringKept_ == adopted_;
}

HistoryRecorder::Read HistoryRecorder::ReadPieces(const std::vector<uint32_t>& registers,
                                                  uint64_t from, int64_t most,
                                                  const Sink& sink) const {
    using Outcome = Read::Outcome;
    Read read;
    const std::size_t stride = registers.size() + 1;
    const auto rowsAPiece = int64_t(std::max<std::size_t>(kPieceValues / stride, 1));
    std::vector<std::size_t> columns(registers.size());
    {
        std::lock_guard lock(mutex_);
        read.extent.load = layouts_;
        read.extent.next = lastSample_;
        if (!recording_) {
            // Laying out: nothing yet, of any register.
            if (!off_.empty()) {
                read.outcome = Outcome::kOff;
                read.off = off_;
            }
            return read;
        }
        for (std::size_t c = 0; c < registers.size(); ++c) {
            if (registers[c] >= column_.size() || column_[registers[c]] < 0) {
                read.outcome = Outcome::kNotKept;
                read.notKept = registers[c];
                return read;
            }
            columns[c] = std::size_t(column_[registers[c]]);
            from = std::max(from, born_[columns[c]]); // a register new since a swap
        }
        const int64_t held = std::min(stored_, capacity_);
        const uint64_t start = std::max(from, lastSample_ - uint64_t(held));
        const int64_t since = start >= lastSample_ ? 0 : int64_t(lastSample_ - start);
        read.extent.held = held;
        read.extent.samples = std::clamp<int64_t>(since, 0, std::max<int64_t>(most, 0));
        read.extent.first = lastSample_ - uint64_t(read.extent.samples);
    }
    std::vector<int32_t> buffer(std::size_t(std::min(rowsAPiece, read.extent.samples)) * stride);
    for (int64_t done = 0; done < read.extent.samples;) {
        Piece piece;
        piece.first = read.extent.first + uint64_t(done);
        piece.rows = std::min(rowsAPiece, read.extent.samples - done);
        piece.stride = stride;
        piece.values = buffer.data();
        if (pieceHook_)
            pieceHook_(std::size_t(piece.rows) * stride);
        {
            std::lock_guard lock(mutex_);
            if (layouts_ != read.extent.load || !recording_) {
                read.outcome = Outcome::kReloaded;
                return read;
            }
            if (piece.first < lastSample_ - uint64_t(stored_)) {
                read.outcome = Outcome::kOverrun;
                return read;
            }
            const int64_t frames = RingFrames();
            int64_t at = next_ - int64_t(lastSample_ - piece.first);
            at = at < 0 ? at + frames : at;
            int32_t* out = buffer.data();
            for (int64_t row = 0; row < piece.rows; ++row, out += stride) {
                const int32_t* frame = ring_.get() + std::size_t(at) * width_;
                for (std::size_t c = 0; c < columns.size(); ++c)
                    out[c] = frame[columns[c]];
                out[columns.size()] = frame[width_ - 1];
                at = at + 1 == frames ? 0 : at + 1;
            }
        }
        if (!sink(piece)) {
            read.outcome = Outcome::kStopped;
            return read;
        }
        done += piece.rows;
    }
    return read;
}

std::optional<HistoryRecorder::Span> HistoryRecorder::Take(const std::vector<uint32_t>& registers,
                                                           int64_t samples) const {
    return TakeFrom(registers, 0, samples < 0 ? std::numeric_limits<int64_t>::max() : samples);
}

std::optional<HistoryRecorder::Span>
HistoryRecorder::TakeFrom(const std::vector<uint32_t>& registers, uint64_t from,
                          int64_t most) const {
    Span span;
    span.columns.resize(registers.size());
    const Read read = ReadPieces(registers, from, most, [&](const Piece& piece) {
        for (int64_t row = 0; row < piece.rows; ++row) {
            const int32_t* values = piece.values + std::size_t(row) * piece.stride;
            for (std::size_t c = 0; c < registers.size(); ++c)
                span.columns[c].push_back(values[c]);
            if (const int32_t address = values[registers.size()]; address >= 0)
                span.saturations.push_back({piece.first + uint64_t(row), uint32_t(address)});
        }
        return true;
    });
    if (read.outcome != Read::Outcome::kRead)
        return std::nullopt;
    static_cast<Extent&>(span) = read.extent;
    return span;
}
