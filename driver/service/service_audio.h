// emuapsd's sound, as its options ask: the --input file that feeds the
// effects bus, the --output recording of the chip running in real time, and
// the --play device that it plays to, and the --capture device that feeds
// the effects bus instead of the file.
#pragma once

#include "alsa_capture.h"
#include "alsa_playback.h"
#include "capture_input.h"
#include "dsp_runner.h"
#include "recording_queue.h"
#include "service_options.h"
#include "wav_input.h"

#include <memory>
#include <string>
#include <vector>

class ServiceAudio {
  public:
    // Opens the input and the sound device when there are; nullptr with the
    // reason, naming the file or device, when one is refused. No file is
    // created yet. log hears of the device's troubles while it plays.
    static std::unique_ptr<ServiceAudio> Open(const ServiceOptions& options, AlsaPlayback::Log log,
                                              std::string* error);

    WavInput* input() { return input_.get(); }
    // --record's registers, once their names are resolved (before StartRecording).
    void Record(std::vector<uint32_t> registers) { options_.record = std::move(registers); }
    // Creates the output file, when there is one, and its writer; "" or
    // the reason it cannot be.
    std::string StartRecording(RecordingQueue::Log log);
    DspStreams streams();
    // What the device plays, for the log; "" without one.
    std::string PlayingText() const;
    // What the device captures, for the log; "" without one.
    std::string CapturingText() const;
    // For emuapsctl's status: "playing, N underruns", "capturing, N
    // overruns, D frames dropped and R repeated"; "" without a device.
    std::string PlayingState() const;
    // Once the chip has stopped: finishes the output file, lets the device
    // go, and says what each took, a line each.
    std::vector<std::string> Finish();

  private:
    // "D frames dropped and R repeated": the capture's corrections.
    std::string CorrectionsText() const;

    ServiceOptions options_;
    std::unique_ptr<WavInput> input_;
    std::unique_ptr<RecordingQueue> recording_;
    std::unique_ptr<AlsaPlayback> playback_;
    std::unique_ptr<AlsaCapture> capture_;
    std::unique_ptr<CaptureInput> captured_;
};
