// The recording under emuapsctl's verbs, with the chip playing to a device
// held to real time: OUT holds every sample the chip ends, whatever ran it,
// and is the same chip run offline for as many samples, sample for sample;
// and no verb makes the device run dry.
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

// The number after `before` in text; -1 without one.
int64_t Number(const std::string& text, const std::string& before) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(before + " (\\d+)")) ? std::stoll(m[1]) : -1;
}

TEST(EmuapsdRecording, OutHoldsEverySampleTheChipEndsWhateverRanItAndTheDeviceNeverRunsDry) {
    TempDir dir;
    const std::string out = dir.path() + "/out.wav";
    ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log",
                           {"--patch", kImages + "demo-chorus-echo.emu10k1", "--run", "--output",
                            out, "--play=null", "--latency=250"});
    ASSERT_TRUE(service.waitForLog("control at"));
    ChipImageResult loaded =
        LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr);
    ASSERT_TRUE(loaded.image);
    auto ctl = [&](const std::string& verb) { return RunEmuapsctl(dir.path(), verb); };

    // The same chip, uninterrupted; its front outputs as OUT holds them.
    ChipImage chip = *loaded.image;
    Fx8010Interpreter dsp;
    std::vector<float> offline;
    auto runOffline = [&](int64_t to) {
        int32_t outputs[1024 * DspBlockIo::kOutputs];
        while (int64_t(dsp.samples()) < to) {
            const int n = int(std::min<int64_t>(1024, to - int64_t(dsp.samples())));
            dsp.Run(chip, n, {outputs});
            for (int i = 0; i < n; ++i)
                for (int o : {0, 1})
                    offline.push_back(FloatFromQ31(outputs[i * DspBlockIo::kOutputs + o]));
        }
    };

    const struct {
        const char* what;
        std::vector<std::string> verbs;
    } rows[] = {
        {"advance", {"advance 48000"}},
        {"steps, the last ending a sample", {"break 0x1fd", "step", "step", "step"}},
        {"watch", {"watch 0x121"}},
        {"break, and a step from it", {"break 0x30", "step"}},
        {"a long advance", {"advance 240000"}},
    };
    std::vector<std::string> wrong;
    for (const auto& row : rows) {
        // Each row runs by the device's clock first, then stops: a chip
        // slower than real time (sanitized, on a busy machine) may run dry
        // then, but not under the verbs.
        ctl("continue");
        const int64_t from = Number(ctl("status").text, "running;");
        Eventually([&] { return Number(ctl("status").text, "running;") > from + 4800; });
        ctl("stop");
        const std::string before = ctl("status").text;
        for (const std::string& verb : row.verbs)
            if (EmuapsctlSaid said = ctl(verb); said.status != 0)
                wrong.push_back(std::string(row.what) + ": " + verb + ": " + said.text);
        const std::string after = ctl("status").text;
        const int64_t ended = Number(after, "stopped;");
        if (Number(after, "playing,") != Number(before, "playing,"))
            wrong.push_back(std::string(row.what) + ": the device ran dry: " + after);
        Wav<float> recorded;
        Eventually([&] {
            recorded = ReadFloatWav(out);
            return recorded.frames() >= ended;
        });
        runOffline(ended);
        if (recorded.frames() != ended || recorded.samples != offline)
            wrong.push_back(std::string(row.what) + ": OUT holds " +
                            std::to_string(recorded.frames()) + " samples, not the " +
                            std::to_string(ended) + " run offline, or others");
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

} // namespace
