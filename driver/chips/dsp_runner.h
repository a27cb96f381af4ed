// The thread that makes the simulated chip run in real time: it executes the
// microcode in blocks of samples as the clock makes them due, releasing the
// chip between blocks so port requests are served in between, and sleeps
// until the next block is due. The clock is the system's, or a sound device's
// while the chip plays to one: then a block is a period, run as soon as the
// device has room for it, or as soon as the capture device delivered it
// (one without a clock of its own is read at the chip's pace).
#pragma once

#include "audio_block.h"
#include "debug_step_server.h"
#include "simulated_chip.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct DspPacing {
    int sampleRate = 48000;
    int blockSamples = 48; // one millisecond
    // Further behind than this (a stopped process, an overloaded machine)
    // the chip skips ahead instead of racing to catch up.
    int64_t maxBacklogSamples = 4800;
};

// Samples due after `elapsed` since the start, at the pacing's rate.
int64_t SamplesDue(std::chrono::microseconds elapsed, const DspPacing& pacing);
// When the next block falls due, counted from the start: the first moment at
// which SamplesDue reaches done + one block.
std::chrono::microseconds NextBlockDue(int64_t done, const DspPacing& pacing);
// The count of samples to treat as run: `done`, or the backlog's limit below
// `due` when the chip fell further behind than that.
int64_t DropBacklog(int64_t due, int64_t done, const DspPacing& pacing);

class BusSource;
class CaptureInput;
class PlaybackDevice;

// What the running chip takes in and gives out besides its registers.
struct DspStreams {
    BusSource* input = nullptr;          // the effects bus; without it the test signal
    std::vector<uint32_t> outputs;       // the output registers recorded and played, one a channel
    SampleObserver* recording = nullptr; // hears every sample the chip ends, whatever runs it
    PlaybackDevice* playback = nullptr;  // plays them and paces the chip, until it goes away
    // The input when it is captured: it paces a chip without a playback, and
    // is kept in time with one.
    CaptureInput* capture = nullptr;
};

class DspRunner {
  public:
    explicit DspRunner(SimulatedChip& chip, DspPacing pacing = {}, DspStreams streams = {});
    ~DspRunner();
    DspRunner(const DspRunner&) = delete;
    DspRunner& operator=(const DspRunner&) = delete;

  private:
    void Run();
    // Paced by the device; false when it went away.
    bool PlayToDevice();
    // Paced by the capture; false when it went away.
    bool RunByCapture();
    void RunByClock();
    void RunBlock(int samples);

    SimulatedChip& chip_;
    DspPacing pacing_;
    DspStreams streams_;
    AudioBlock audio_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stop_ = false; // set under mutex_, read without it by the device's wait
    std::thread thread_;
    DebugStepServer steps_{chip_};
};
