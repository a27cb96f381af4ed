// emuapsd --play through ALSA's own file and null devices, which need no
// sound card: what is played is what --render computes, sample for sample,
// and what cannot be played to is refused in one line.
#include "clock_pacer.h"
#include "support/emuapsctl_run.h"
#include "support/emuapsd_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "underrun_report.h"
#include "wav_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string kImages = std::string(VELMORA_PROGRAM_DIR) + "/images/";
constexpr int kRate = 48000;

template <typename Sample> std::vector<Sample> ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<Sample> samples(std::size_t(in.tellg()) / sizeof(Sample));
    in.seekg(0).read(reinterpret_cast<char*>(samples.data()),
                     std::streamsize(samples.size() * sizeof(Sample)));
    return samples;
}

// The render is the oracle; OUT must hold just what the device was handed.
template <typename Sample>
void ExpectPlayedAsRendered(const Wav<Sample>& rendered, const std::vector<Sample>& played,
                            const Wav<Sample>& recorded) {
    ASSERT_EQ(rendered.frames(), kRate);
    ASSERT_GE(played.size(), rendered.samples.size()) << "a second was played";
    for (std::size_t i = 0; i < rendered.samples.size(); ++i)
        ASSERT_EQ(played[i], rendered.samples[i]) << "frame " << i / 2 << " channel " << i % 2;
    EXPECT_EQ(recorded.samples, played);
}

// The demo patch's delay lines and oscillator make each sample depend on
// every one before it, and a looped input of 12,345 frames seams within the
// second: a period run twice, dropped or shifted shows.
TEST(EmuapsdPlay, WhatIsPlayedIsWhatARenderComputesSampleForSample) {
    TempDir dir;
    Wav<int16_t> input;
    input.channels = 2;
    std::mt19937 random(20);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    for (int i = 0; i < 2 * 12345; ++i)
        input.samples.push_back(int16_t(sample(random)));
    const std::string in = dir.path() + "/in.wav";
    ASSERT_TRUE(WriteWav(in, input));
    const std::vector<std::string> chip = {"--patch", kImages + "demo-chorus-echo.emu10k1",
                                           "--input", in};
    for (std::string format : {"float", "pcm16"}) {
        SCOPED_TRACE(format);
        const std::string rendered = dir.path() + "/rendered-" + format + ".wav";
        std::vector<std::string> args = {"--image", kImages + "demo.chip"};
        args.insert(args.end(), chip.begin(), chip.end());
        args.insert(args.end(), {"--render", "1", "--output", rendered, "--format", format});
        EmuapsdRun render = RunEmuapsdToEnd(dir, args, 60000);
        ASSERT_EQ(render.status, 0) << render.log;

        const std::string raw = dir.path() + "/played-" + format + ".raw";
        const std::string recorded = dir.path() + "/recorded-" + format + ".wav";
        const std::string log = dir.path() + "/play-" + format + ".log";
        args = chip;
        args.insert(args.end(), {"--run", "--play=file:FILE=" + raw + ",FORMAT=raw", "--output",
                                 recorded, "--format", format});
        {
            ServiceProcess service(dir.path(), kImages + "demo.chip", log, args);
            // The file device does not pace, so a second plays in less.
            struct stat st {};
            const auto deadline = std::chrono::steady_clock::now() + 30s;
            const off_t second = off_t(kRate) * 2 * (format == "float" ? 4 : 2);
            while ((stat(raw.c_str(), &st) != 0 || st.st_size < second) &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(10ms);
            EXPECT_EQ(service.stop(), 0);
        }
        if (format == "float")
            ExpectPlayedAsRendered(ReadFloatWav(rendered), ReadRaw<float>(raw),
                                   ReadFloatWav(recorded));
        else
            ExpectPlayedAsRendered(ReadPcm16Wav(rendered), ReadRaw<int16_t>(raw),
                                   ReadPcm16Wav(recorded));
    }
}

TEST(EmuapsdPlay, WhatCannotBePlayedToIsRefusedInOneLineWithTheStatusTheHelpGives) {
    TempDir dir;
    // A device that plays 16-bit samples only, as many cards do.
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    dir.write("alsa/asoundrc", "pcm.only16 { type linear slave { pcm null format S16_LE } }\n");
    const std::string out = dir.path() + "/o.wav";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        const char* says;
    } rows[] = {
        {"an unknown PCM", {"--run", "--play=nosuch"}, 1, "--play=nosuch: cannot open it: Unknown"},
        {"a card that is not there", {"--run", "--play=hw:9"}, 1, "--play=hw:9: cannot open it"},
        {"a format the device refuses",
         {"--run", "--play=only16"},
         1,
         "--play=only16: it does not play FLOAT_LE (it plays S8, U8, S16_LE"},
        {"--play with --card", {"--card", "0", "--play"}, 2, "--play are for the simulated chip"},
        {"--play with --render",
         {"--render", "1", "--output", out, "--play"},
         2,
         "--play goes with --run"},
        {"--play without --run", {"--play=null"}, 2, "add --run"},
        {"a latency out of range", {"--run", "--play", "--latency=2"}, 2, "from 4 to 1000"},
    };
    for (const auto& row : rows) {
        EmuapsdRun run = RunEmuapsdToEnd(dir, row.args);
        EXPECT_EQ(run.status, row.status) << row.what << ": " << run.log;
        EXPECT_EQ(run.log.rfind("emuapsd: ", 0), 0u) << row.what << ": " << run.log;
        EXPECT_NE(run.log.find(row.says), run.log.npos) << row.what << ": " << run.log;
        // The reason is one line, without alsa-lib's own lines around it.
        const std::size_t reason = run.log.find('\n');
        const std::string after = reason == run.log.npos ? "" : run.log.substr(reason + 1);
        EXPECT_TRUE(after.empty() || after == "Try 'emuapsd --help'.\n")
            << row.what << ": " << run.log;
    }
}

std::string FileText(const std::string& path) {
    std::stringstream all;
    all << std::ifstream(path).rdbuf();
    return all.str();
}

uint64_t SamplesRun(const TempDir& dir) {
    std::smatch m;
    const std::string said = RunEmuapsctl(dir.path(), "status").text;
    return std::regex_search(said, m, std::regex(R"(^\w+; (\d+) samples)")) ? std::stoull(m[1]) : 0;
}

// The service's threads that let SIGHUP, SIGINT or SIGTERM in, but the one
// that takes them by sigwait (which shows them let in while it waits).
std::vector<std::string> ThreadsTakingSignals(pid_t pid) {
    const uint64_t signals = (1u << (SIGHUP - 1)) | (1u << (SIGINT - 1)) | (1u << (SIGTERM - 1));
    std::vector<std::string> open;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        const std::string status = FileText(task.path() / "status"), id = task.path().filename();
        std::smatch m;
        if (id != std::to_string(pid) &&
            (!std::regex_search(status, m, std::regex(R"(SigBlk:\s*(\w+))")) ||
             (std::stoull(m[1], nullptr, 16) & signals) != signals))
            open.push_back(id);
    }
    return open;
}

// Devices without a clock of their own, held to the system's; and devices
// that take nothing, through a pipe the test holds open and never reads:
// gone once after 5 s, the chip on by the system clock. The share plugin
// starts a thread at open, as sound-server plugins do. SIGTERM ends the
// service within a second plus the play-out (20 ms and a second; a second
// more for a sanitized process on a busy machine).
TEST(EmuapsdPlay, DevicesThatTakeNothingAreGoneOnceDevicesWithoutAClockKeepTimeAndSigtermEnds) {
    TempDir dir;
    const std::string fifo = dir.path() + "/fifo";
    const int unread =
        mkfifo(fifo.c_str(), 0600) == 0 ? open(fifo.c_str(), O_RDWR | O_CLOEXEC) : -1;
    ASSERT_GE(unread, 0);
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    dir.write("alsa/asoundrc",
              "pcm.intofifo { type file slave.pcm null file \"" + fifo +
                  "\" format raw }\n"
                  "pcm.shared { type share slave.pcm intofifo bindings [ 0 1 ] }\n");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    for (const auto& [pcm, gone] : std::vector<std::pair<std::string, bool>>{
             {"null", false}, {"file:'" + fifo + "',raw", true}, {"shared", true}}) {
        SCOPED_TRACE(pcm);
        const std::string log = dir.path() + "/log";
        const auto start = std::chrono::steady_clock::now();
        ServiceProcess service(dir.path(), kImages + "demo.chip", log, {"--run", "--play=" + pcm});
        EXPECT_EQ(ThreadsTakingSignals(service.pid()), std::vector<std::string>{});
        uint64_t ran = 0;
        std::chrono::duration<double> elapsed{};
        EXPECT_TRUE(Eventually(
            [&] {
                ran = SamplesRun(dir);
                elapsed = std::chrono::steady_clock::now() - start;
                return ran >= 2 * kRate &&
                       (!gone || FileText(log).find("went away") != std::string::npos);
            },
            30s))
            << FileText(log);
        if (gone) {
            EXPECT_NE(RunEmuapsctl(dir.path(), "status").text.find("; the sound device went away"),
                      std::string::npos);
            EXPECT_TRUE(Eventually([&, ran = ran] { return SamplesRun(dir) > ran + 4800; }));
        } else {
            EXPECT_LE(double(ran), elapsed.count() * kRate + 4800) << "a buffer and periods ahead";
        }
        const auto stopping = std::chrono::steady_clock::now();
        EXPECT_EQ(service.stop(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - stopping, 3s);
        const std::string said = FileText(log);
        const std::regex lost("went away"); // once, and once in the summary
        EXPECT_EQ(std::distance(std::sregex_iterator(said.begin(), said.end(), lost), {}),
                  gone ? 2 : 0)
            << said;
    }
    unsetenv("XDG_CONFIG_HOME");
    close(unread);
}

// Devices fed for 20 s as fast as the pacer and their room let them: one with
// a clock of its own 1% off the system's never runs dry (the pacer never holds
// it back), and one without is held to the system clock, a buffer ahead.
TEST(ClockPacer, HoldsAClocklessDeviceToTheClockAndNeverThrottlesOneWithAClockOfItsOwn) {
    using Clock = ClockPacer::Clock;
    constexpr int64_t kBuffer = 960, kPeriod = 240;
    for (double rate : {0.0, 0.99 * kRate, 1.0 * kRate, 1.01 * kRate}) {
        ClockPacer pacer(kRate, kBuffer);
        Clock::time_point t{};
        double queued = 0; // in the device, unplayed
        int64_t dry = 0, written = 0;
        auto playUntil = [&](Clock::time_point until) {
            if (pacer.clocked() &&
                (queued -= rate * std::chrono::duration<double>(until - t).count()) < 0)
                queued = 0, ++dry;
            t = until;
        };
        while (t < Clock::time_point{} + 20s) {
            playUntil(std::max(t, pacer.When(kPeriod)));
            if (rate > 0 && queued + kPeriod > kBuffer) {
                pacer.Full(t); // the device starts when full, and says so
                playUntil(t +
                          std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>((queued + kPeriod - kBuffer) / rate)));
            }
            queued += kPeriod, written += kPeriod;
            pacer.Wrote(kPeriod, t);
        }
        EXPECT_EQ(dry, 0) << rate;
        EXPECT_TRUE(rate > 0 ||
                    (written >= 20 * kRate && written <= 20 * kRate + kBuffer + kPeriod))
            << written;
    }
}

TEST(UnderrunReport, ABurstIsOneLineAndNoMoreThanOneASecond) {
    UnderrunReport report;
    const auto start = UnderrunReport::Clock::now();
    const struct {
        int ms;
        int underruns; // before the report is asked
        const char* says;
    } steps[] = {
        {0, 0, ""},
        {0, 1, "the sound device ran dry 1 time (1 in all) and plays on"},
        {200, 3, ""},
        {999, 0, ""},
        {1000, 0, "the sound device ran dry 3 times (4 in all) and plays on"},
        {5000, 2, "the sound device ran dry 2 times (6 in all) and plays on"},
    };
    for (const auto& step : steps) {
        for (int i = 0; i < step.underruns; ++i)
            report.Count();
        EXPECT_EQ(report.Due(start + std::chrono::milliseconds(step.ms)), step.says)
            << "at " << step.ms << " ms";
    }
    EXPECT_EQ(report.total(), 6);
}

} // namespace
