#include "capture_input.h"

#include "audio_samples.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

using std::chrono::microseconds;

// A sample whose frame has not arrived waits this long for the device
// (longer than any period), then hears silence until the device delivers.
constexpr microseconds kFrameWait(1500000);
// The distance is corrected by the least and the most of it over about this
// many frames of periods: a delivery a moment early or late is no drift.
constexpr int kWindowFrames = kChipSampleRate / 4;

} // namespace

CaptureInput::CaptureInput(CaptureDevice& device)
    : device_(device), channels_(std::min(device.channels(), int(kBusInputs))),
      stride_(device.channels()),
      arrived_(std::size_t(std::max(device.periodFrames(), 1)) * std::size_t(stride_)),
      chunk_(std::size_t(std::max(device.periodFrames(), 1)) * kBusInputs) {}

int64_t CaptureInput::Waiting() {
    const int64_t held = device_.Wait(0, microseconds(0));
    return held < 0 ? -1 : held + (have_ - next_) + repeats_;
}

bool CaptureInput::Refill() {
    next_ = have_ = 0;
    const int64_t held = device_.Wait(1, starved_ ? microseconds(0) : kFrameWait);
    starved_ = held == 0;
    if (held <= 0)
        return false;
    have_ = device_.Take(arrived_.data(), int(arrived_.size()) / stride_);
    Widen();
    return have_ > 0;
}

// A channel at a time: a copy of a frame's few values each would cost a call.
void CaptureInput::Widen() {
    std::fill_n(chunk_.begin(), std::size_t(have_) * kBusInputs, 0);
    for (int c = 0; c < channels_; ++c)
        for (int f = 0; f < have_; ++f)
            chunk_[std::size_t(f) * kBusInputs + std::size_t(c)] =
                arrived_[std::size_t(f) * std::size_t(stride_) + std::size_t(c)];
}

void CaptureInput::Read(int32_t* bus, int frames) {
    std::lock_guard lock(mutex_);
    for (int f = 0; f < frames; ++f) {
        int32_t* out = bus + std::size_t(f) * kBusInputs;
        if (repeats_ > 0) {
            --repeats_;
        } else if (next_ < have_ || Refill()) {
            std::memcpy(last_, chunk_.data() + std::size_t(next_++) * kBusInputs, sizeof last_);
            ++taken_;
        } else {
            std::fill_n(last_, kBusInputs, 0); // a silent bus, until frames come again
        }
        // memcpy, not copy_n: of a fixed size it is inlined, where a memmove
        // is a call, once a sample.
        std::memcpy(out, last_, sizeof last_);
    }
}

void CaptureInput::DropOldest(int64_t frames) {
    const int64_t unheard = std::min<int64_t>(frames, repeats_);
    repeats_ -= unheard;
    frames -= unheard;
    const int fromChunk = int(std::min<int64_t>(frames, have_ - next_));
    next_ += fromChunk;
    device_.Drop(frames - fromChunk);
}

bool CaptureInput::Align(int period) {
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock())
        return false; // a verb is running samples
    takenSeen_ = taken_;
    if (!device_.clocked())
        return true; // it has the playback's clock: nothing to wait for or correct
    int64_t waiting = Waiting();
    if (waiting < 0)
        return true; // gone: the chip runs on a silent bus
    // After a start or a stand the chip runs once two periods have arrived:
    // one to run and one on its way, so that a delivery a moment late is
    // no correction.
    const int64_t target = 2 * int64_t(period);
    if (resume_) {
        if (waiting < target)
            return false;
        // What a device delivered at once beyond them goes before the chip
        // hears any of it, not as a correction after the sound began.
        DropOldest(waiting - target);
        resume_ = false;
        windowLeast_ = INT64_MAX;
        windowMost_ = 0;
        windowPeriods_ = 0;
        return true;
    }
    if (waiting > mostWaiting_.load(std::memory_order_relaxed))
        mostWaiting_.store(waiting, std::memory_order_relaxed);
    windowLeast_ = std::min(windowLeast_, waiting);
    windowMost_ = std::max(windowMost_, waiting);
    if (++windowPeriods_ * period < kWindowFrames)
        return true;
    // A period short now and then is a delivery a moment late, which the
    // chip waits for; over a whole window, the two clocks drift. Devices on
    // one clock settle anywhere from two to three periods and a few frames,
    // as their deliveries and takes fall: that is no drift. Past three and
    // a half, or below one, the distance goes back to the two periods of a start.
    if (windowLeast_ > target + 3 * int64_t(period) / 2) {
        // The capture ran ahead: the oldest frames go.
        DropOldest(windowLeast_ - target);
        dropped_.fetch_add(windowLeast_ - target, std::memory_order_relaxed);
    } else if (windowMost_ < period) {
        // It fell behind: the last frame is heard again rather than the
        // playback running dry.
        repeats_ += target - windowMost_;
        repeated_.fetch_add(target - windowMost_, std::memory_order_relaxed);
    }
    windowLeast_ = INT64_MAX;
    windowMost_ = 0;
    windowPeriods_ = 0;
    return true;
}

bool CaptureInput::WaitForPeriod(int period, microseconds most) {
    int64_t local = 0; // a verb reading has it in hand
    if (std::unique_lock lock(mutex_, std::try_to_lock); lock.owns_lock())
        local = (have_ - next_) + repeats_;
    return device_.Wait(std::max<int64_t>(period - local, 0), most) >= 0;
}

void CaptureInput::Stood() {
    std::unique_lock lock(mutex_, std::try_to_lock);
    // Without a clock nothing arrived: what was read is still to be heard.
    if (!lock.owns_lock() || !device_.clocked())
        return;
    if (taken_ == takenSeen_) {
        repeats_ = 0;
        next_ = have_;
        device_.Drop(INT64_MAX);
        resume_ = true;
    }
    takenSeen_ = taken_;
}
