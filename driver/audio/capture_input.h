// The effects bus fed from a capture device: channel n drives bus n, the
// buses beyond its channels are silent. Each sample the DSP begins takes the
// next frame captured, waiting for it when it has not arrived (a verb that
// runs samples runs at the device's pace), so sample n hears frame n.
//
// The running chip keeps in time with it: paced by a playback on another
// clock, the frames waiting for each period are kept from one to three and a
// half periods by dropping the oldest or repeating the last, whole frames,
// each counted; devices on one clock settle within that and are never
// corrected. Nothing is resampled. What arrives while the chip stands is dropped, so that it
// hears the present when it runs again. A device without a clock of its own
// is read a period at a time as the samples begin: it keeps the chip's pace,
// is never corrected, and a stand drops nothing of it. A device that goes away leaves the bus
// silent.
#pragma once

#include "bus_source.h"
#include "capture_device.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

class CaptureInput : public BusSource {
  public:
    explicit CaptureInput(CaptureDevice& device);

    int periodFrames() const { return device_.periodFrames(); }
    bool clocked() const { return device_.clocked(); }
    // From whichever thread runs the DSP, under the chip's lock.
    void Read(int32_t* bus, int frames) override;

    // The runner's, between the chip's periods; none waits for a reader.
    // A running chip paced by a playback is about to run `period` frames:
    // corrects the distance to the capture, and says whether to run them.
    // After a start or a stand it runs once two periods have arrived, and
    // drops what arrived beyond them; until then the playback plays the
    // chip's outputs as they stand (silence at first).
    bool Align(int period);
    // Without a playback: waits up to `most` for `period` frames to run on;
    // false once the device is gone.
    bool WaitForPeriod(int period, std::chrono::microseconds most);
    // The chip stands (it ran nothing, and no verb held it): unless a verb
    // took frames since the runner last looked, what has arrived is dropped.
    void Stood();

    // For a status from any thread.
    int64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    int64_t repeated() const { return repeated_.load(std::memory_order_relaxed); }
    // The most frames that waited for a running chip's period to begin.
    int64_t mostWaiting() const { return mostWaiting_.load(std::memory_order_relaxed); }

  private:
    // The frames captured and not yet heard; mutex_ held, -1 once gone.
    int64_t Waiting();
    // Fills chunk_ from the device, waiting for a frame when it holds none.
    bool Refill();
    void Widen();
    void DropOldest(int64_t frames);

    CaptureDevice& device_;
    const int channels_;
    // Read takes it for every sample, which a mutex would make cost more than
    // the capture; the runner only ever tries it, so a reader never waits long.
    struct SpinLock {
        std::atomic<bool> taken{false};
        bool try_lock() { return !taken.exchange(true, std::memory_order_acquire); }
        void lock() {
            while (!try_lock())
                std::this_thread::yield();
        }
        void unlock() { taken.store(false, std::memory_order_release); }
    } mutex_;
    const int stride_;             // the device's channels: its frames' width
    std::vector<int32_t> arrived_; // a period as the device hands it over
    // What was taken, at the bus's width with its buses past channels_
    // silent, so that each sample takes its frame by one fixed-size copy.
    std::vector<int32_t> chunk_;
    int have_ = 0, next_ = 0; // frames in chunk_, and the next to hear
    int64_t repeats_ = 0;     // the last frame heard, again, before the next
    int32_t last_[kBusInputs] = {};
    bool starved_ = false; // the device missed its time: no more waits until it delivers
    bool resume_ = true;   // the next period waits for a delivered one
    int64_t taken_ = 0, takenSeen_ = 0;
    int64_t windowLeast_ = INT64_MAX, windowMost_ = 0;
    int windowPeriods_ = 0;
    std::atomic<int64_t> dropped_{0}, repeated_{0}, mostWaiting_{0};
};
