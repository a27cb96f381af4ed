// emuapsd's sound, as its options ask: the --input file that feeds the
// effects bus, and the --output recording of the chip running in real time.
#pragma once

#include "dsp_runner.h"
#include "recording_queue.h"
#include "service_options.h"
#include "wav_input.h"

#include <memory>
#include <string>

class ServiceAudio {
  public:
    // Opens the input when there is one; nullptr with the reason, naming
    // the file, when it is refused. Nothing is created yet.
    static std::unique_ptr<ServiceAudio> Open(const ServiceOptions& options, std::string* error);

    WavInput* input() { return input_.get(); }
    // Creates the output file, when there is one, and its writer; "" or
    // the reason it cannot be.
    std::string StartRecording(RecordingQueue::Log log);
    DspStreams streams() { return {input_.get(), recording_.get()}; }
    // Once the chip has stopped: finishes the output file and says what it
    // holds; "" without one.
    std::string Finish();

  private:
    ServiceOptions options_;
    std::unique_ptr<WavInput> input_;
    std::unique_ptr<RecordingQueue> recording_;
};
