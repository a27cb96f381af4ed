// A recording of every sample the chip ends, whatever runs it: the DSP hands
// over each sample's recorded outputs as it ends and goes on; a writer thread
// of its own puts them into the file every tenth of a second, so the disk
// never holds the chip up. Nothing handed over is dropped unless the file
// refuses it.
#pragma once

#include "sample_observer.h"
#include "wav_recording.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RecordingQueue : public SampleObserver {
  public:
    using Log = std::function<void(const std::string&)>;
    // record: the output registers, one a channel of file. log hears of a
    // write that failed, from the writer thread.
    RecordingQueue(std::unique_ptr<WavRecording> file, std::vector<uint32_t> record, Log log);
    ~RecordingQueue() override;
    RecordingQueue(const RecordingQueue&) = delete;
    RecordingQueue& operator=(const RecordingQueue&) = delete;

    // Takes the sample's recorded outputs; from the thread running the DSP.
    void SampleEnded(const Fx8010Interpreter& dsp) override;
    // Writes what was handed over, finishes the file and says what it holds,
    // and what of it was not written if any was not. Once.
    std::string Finish();

  private:
    void Write();

    std::unique_ptr<WavRecording> file_;
    std::vector<uint32_t> record_;
    Log log_;
    std::atomic<bool> failed_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::vector<int32_t> pending_;
    int64_t handedOver_ = 0; // frames
    std::thread writer_;
};
