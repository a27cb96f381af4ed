// The recording under emuapsctl's verbs, the chip playing to a device held
// to real time: OUT holds every sample the chip ends, whatever ran it, as the
// same chip run offline for as many samples; no verb makes the device run dry.
#include "audio_samples.h"
#include "chip_load.h"
#include "fx8010_interpreter.h"
#include "support/emuapsctl_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";

int64_t Number(const std::string& text, const std::string& before) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(before + " (\\d+)")) ? std::stoll(m[1]) : -1;
}

TEST(EmuapsdRecording, OutHoldsEverySampleTheChipEndsWhateverRanItAndTheDeviceNeverRunsDry) {
    TempDir dir;
    const std::string out = dir.path() + "/out.wav", patch = kImages + "demo-chorus-echo.emu10k1";
    ServiceProcess service(
        dir.path(), kImages + "demo.chip", "",
        {"--patch", patch, "--run", "--output", out, "--play=null", "--latency=250"});
    ChipImage chip = *LoadChipWithPatch(kImages + "demo.chip", patch, nullptr).image;
    Fx8010Interpreter dsp;
    std::vector<float> offline; // the front outputs, as OUT holds them
    auto ctl = [&](const std::string& verb) { return RunEmuapsctl(dir.path(), verb).text; };
    auto done = [&](const std::string& verb) { return RunEmuapsctl(dir.path(), verb).status == 0; };
    std::vector<std::string> wrong;
    for (const std::string& verbs :
         std::vector<std::string>{"advance 48000", "break 0x1fd;step;step;step", "watch 0x121",
                                  "break 0x30;step", "advance 240000"}) {
        // Run by the device's clock, then stop: a sanitized chip on a busy
        // machine may run dry while it runs, but not under the verbs.
        ctl("continue");
        const int64_t from = Number(ctl("status"), "running;");
        Eventually([&] { return Number(ctl("status"), "running;") > from + 4800; });
        ctl("stop");
        const std::string before = ctl("status");
        for (std::size_t at = 0; at < verbs.size();) {
            const std::size_t end = std::min(verbs.find(';', at), verbs.size());
            if (!done(verbs.substr(at, end - at)))
                wrong.push_back(verbs + ": " + verbs.substr(at, end - at) + " failed");
            at = end + 1;
        }
        const std::string after = ctl("status");
        if (Number(after, "playing,") != Number(before, "playing,"))
            wrong.push_back(verbs + ": the device ran dry: " + after);
        const int64_t ended = Number(after, "stopped;");
        Wav<float> recorded;
        Eventually([&] { return (recorded = ReadFloatWav(out)).frames() >= ended; });
        int32_t outputs[DspBlockIo::kOutputs];
        while (int64_t(dsp.samples()) < ended) {
            dsp.Run(chip, 1, {outputs});
            offline.insert(offline.end(), {FloatFromQ31(outputs[0]), FloatFromQ31(outputs[1])});
        }
        if (recorded.samples != offline)
            wrong.push_back(verbs + ": OUT holds " + std::to_string(recorded.frames()) +
                            " samples, not the " + std::to_string(ended) + " run offline");
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

} // namespace
