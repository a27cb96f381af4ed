// The effects bus's sound captured from an ALSA PCM at 48 kHz, as 32-bit
// float or 16-bit PCM, the formats --play uses; a device that refuses the
// rate, the format or the channels is refused in its own words. A thread of
// its own reads a device with a clock a period at a time and holds what it
// read for the chip, so a device that blocks in the kernel holds neither
// the chip nor the service. A device without a clock of its own (ALSA's
// null device, a file) never blocks: it has no reader, and the chip reads
// the frames it begins as it begins them, paced by its own clock alone.
// Overruns, of the device or of the second held for a chip that took none
// of it, are recovered and counted; a device that goes away (an error,
// or nothing captured for 5 s) is said once and then left.
#pragma once

#include "capture_device.h"
#include "pcm_settings.h"
#include "pcm_thread.h"

#include <memory>
#include <string>

class AlsaCapture : public CaptureDevice, public PcmThread {
  public:
    // Opens and sets up the PCM and starts its reader; nullptr with the
    // reason, naming the PCM, when it cannot be. log hears of overruns and
    // of the device going away, from the reader thread.
    static std::unique_ptr<AlsaCapture> Open(const PcmSettings& settings, Log log,
                                             std::string* error);
    int periodFrames() const override;
    int channels() const override;
    bool clocked() const override;
    int64_t Wait(int64_t frames, std::chrono::microseconds most) override;
    int Take(int32_t* frames, int count) override;
    int64_t Drop(int64_t count) override;
    // Stops the reader and lets the device go; a reader stuck in the device
    // is left to the process's end. Once, after the chip stopped reading.
    void Close();
    ~AlsaCapture() override; // Close()
    // What was captured, once capturing is over.
    std::string Summary() const;
    // For a status from another thread: the overruns so far.
    int64_t overruns() const;

  private:
    AlsaCapture() = default;
    struct Shared; // what the reader thread shares with the chip
};
