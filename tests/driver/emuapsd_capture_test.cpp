// emuapsd --capture through ALSA's file plugin reading a known file, played
// into another, with no sound card: after the silence played before the
// chip's first period, what is played is what --render computes from the
// same file, and that silence is the round trip the README states.
#include "support/emuapsd_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string kImages = std::string(VELMORA_PROGRAM_DIR) + "/images/";
constexpr int kRate = 48000;
constexpr int kLatencyMs = 100;

template <typename Sample> std::vector<Sample> ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<Sample> samples(std::size_t(std::max<std::streamoff>(in.tellg(), 0)) /
                                sizeof(Sample));
    in.seekg(0).read(reinterpret_cast<char*>(samples.data()),
                     std::streamsize(samples.size() * sizeof(Sample)));
    return samples;
}

template <typename Sample> void WriteRaw(const std::string& path, const std::vector<Sample>& s) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size() * sizeof(Sample)));
}

// The played file is silence for the round trip, then the render, frame for
// frame; OUT is the render from the chip's first sample. The frames of the
// round trip, or -1 with what is wrong.
template <typename Sample>
int64_t RoundTrip(const std::vector<Sample>& rendered, const std::vector<Sample>& played,
                  const std::vector<Sample>& recorded, std::string* wrong) {
    std::size_t silent = 0;
    while (silent < played.size() && played[silent] == 0)
        ++silent;
    // The render may begin with silence of its own.
    std::size_t own = 0;
    while (own < rendered.size() && rendered[own] == 0)
        ++own;
    if (silent < own || (silent - own) % 2 != 0)
        return *wrong = "the played file starts unlike the render", -1;
    const std::size_t lead = silent - own;
    if (played.size() < lead + rendered.size())
        return *wrong = "less than a second was played", -1;
    for (std::size_t i = 0; i < rendered.size(); ++i)
        if (played[lead + i] != rendered[i])
            return *wrong = "frame " + std::to_string(i / 2) + " differs from the render", -1;
    if (recorded.size() < rendered.size() ||
        !std::equal(rendered.begin(), rendered.end(), recorded.begin()))
        return *wrong = "OUT is not the render", -1;
    return int64_t(lead / 2);
}

TEST(EmuapsdCapture, WhatIsPlayedIsARenderOfTheCapturedFileAfterTheRoundTrip) {
    TempDir dir;
    std::mt19937 random(29);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    Wav<int16_t> input;
    input.channels = 2;
    for (int i = 0; i < 2 * kRate; ++i)
        input.samples.push_back(int16_t(sample(random)));
    Wav<float> floats;
    floats.channels = 2;
    for (int16_t s : input.samples)
        floats.samples.push_back(float(s) / 32768);
    ASSERT_TRUE(WriteWav(dir.path() + "/pcm16.wav", input));
    ASSERT_TRUE(WriteWav(dir.path() + "/float.wav", floats));
    WriteRaw(dir.path() + "/pcm16.raw", input.samples);
    WriteRaw(dir.path() + "/float.raw", floats.samples);
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    std::string config;
    for (const char* format : {"pcm16", "float"})
        config += std::string("pcm.") + format + " { type file slave.pcm null file \"/dev/null\" " +
                  "infile \"" + dir.path() + "/" + format + ".raw\" format raw }\n";
    dir.write("alsa/asoundrc", config);
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const std::vector<std::string> patch = {"--patch", kImages + "demo-chorus-echo.emu10k1"};
    std::vector<std::string> unkept; // the formats the machine could not keep up with
    for (const std::string format : {"pcm16", "float"}) {
        SCOPED_TRACE(format);
        const std::string rendered = dir.path() + "/rendered.wav";
        std::vector<std::string> args = {"--image", kImages + "demo.chip"};
        args.insert(args.end(), patch.begin(), patch.end());
        args.insert(args.end(), {"--input", dir.path() + "/" + format + ".wav", "--render", "1",
                                 "--output", rendered, "--format", format});
        EmuapsdRun render = RunEmuapsdToEnd(dir, args, 60000);
        ASSERT_EQ(render.status, 0) << render.log;

        const std::string played = dir.path() + "/played.raw", recorded = dir.path() + "/out.wav";
        args = patch;
        args.insert(args.end(), {"--run", "--capture=" + format,
                                 "--play=file:FILE=" + played + ",FORMAT=raw", "--format", format,
                                 "--latency", std::to_string(kLatencyMs), "--output", recorded});
        {
            ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log", args);
            // Held to real time: a second and the round trip play in about as long.
            struct stat st {};
            const off_t enough = off_t(kRate) * 2 * (format == "float" ? 4 : 2) * 3 / 2;
            const auto deadline = std::chrono::steady_clock::now() + 60s;
            while ((stat(played.c_str(), &st) != 0 || st.st_size < enough) &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(10ms);
            EXPECT_EQ(service.stop(), 0);
        }
        std::string wrong;
        const int64_t trip =
            format == "float" ? RoundTrip(ReadFloatWav(rendered).samples, ReadRaw<float>(played),
                                          ReadFloatWav(recorded).samples, &wrong)
                              : RoundTrip(ReadPcm16Wav(rendered).samples, ReadRaw<int16_t>(played),
                                          ReadPcm16Wav(recorded).samples, &wrong);
        std::stringstream log;
        log << std::ifstream(dir.path() + "/log").rdbuf();
        // A sanitized chip on a machine too busy to run it in real time runs
        // the playback dry; the capture's clock went on, so frames were
        // dropped, as they should be. That run shows nothing of the timing.
        if (log.str().find(" with 0 underruns") == std::string::npos) {
            unkept.push_back(format);
            continue;
        }
        ASSERT_GE(trip, 0) << wrong << "\n" << log.str();
        // The README: the buffer and three periods, at most twice --latency.
        EXPECT_GE(trip * 1000, int64_t(kLatencyMs) * kRate) << "the buffer fills first";
        EXPECT_LE(trip * 1000, 2 * int64_t(kLatencyMs) * kRate);
    }
    unsetenv("XDG_CONFIG_HOME");
    if (unkept.size() == 2)
        GTEST_SKIP() << "the machine could not run the chip in real time";
}

TEST(EmuapsdCapture, WhatCannotBeCapturedFromIsRefusedInOneLineWithTheStatusTheHelpGives) {
    TempDir dir;
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    dir.write("alsa/asoundrc",
              "pcm.only16 { type linear slave { pcm null format S16_LE } }\n"
              "pcm.only44k { type share slave { pcm null rate 44100 } bindings [ 0 1 ] }\n"
              "pcm.mono { type share slave { pcm null channels 1 } bindings [ 0 ] }\n");
    const std::string out = dir.path() + "/o.wav", in = dir.path() + "/i.wav";
    Wav<int16_t> wav;
    wav.samples = {1, 2, 3};
    ASSERT_TRUE(WriteWav(in, wav));
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        const char* says;
    } rows[] = {
        {"an unknown PCM",
         {"--run", "--capture=nosuch"},
         1,
         "--capture=nosuch: cannot open it: Unknown PCM nosuch"},
        {"a format the device refuses",
         {"--run", "--capture=only16"},
         1,
         "--capture=only16: it does not record FLOAT_LE (it records S8, U8, S16_LE"},
        {"a rate the device refuses",
         {"--run", "--capture=only44k", "--format=pcm16"},
         1,
         "--capture=only44k: it does not record at 48000 Hz (it records 44100 to 44100 Hz)"},
        {"channels the device refuses",
         {"--run", "--capture=mono"},
         1,
         "--capture=mono: it does not record 2 channels (it records 1 to 1)"},
        {"--capture with --input", {"--run", "--capture", "--input", in}, 2, "not with --input"},
        {"--capture with --render",
         {"--render", "1", "--output", out, "--capture"},
         2,
         "not with --render"},
        {"--capture with --card", {"--card", "0", "--capture"}, 2, "not with --card"},
        {"--capture without --run", {"--capture=null"}, 2, "add --run"},
    };
    for (const auto& row : rows) {
        EmuapsdRun run = RunEmuapsdToEnd(dir, row.args);
        EXPECT_EQ(run.status, row.status) << row.what << ": " << run.log;
        EXPECT_EQ(run.log.rfind("emuapsd: ", 0), 0u) << row.what << ": " << run.log;
        EXPECT_NE(run.log.find(row.says), run.log.npos) << row.what << ": " << run.log;
        const std::size_t reason = run.log.find('\n');
        const std::string after = reason == run.log.npos ? "" : run.log.substr(reason + 1);
        EXPECT_TRUE(after.empty() || after == "Try 'emuapsd --help'.\n")
            << row.what << ": " << run.log;
    }
}

} // namespace
