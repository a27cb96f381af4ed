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
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
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
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != text.npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The chip's samples so far, as emuapsctl's status says.
uint64_t SamplesRun(const TempDir& dir) {
    std::smatch m;
    const std::string said = RunEmuapsctl(dir.path(), "status").text;
    return std::regex_search(said, m, std::regex(R"(^\w+; (\d+) samples)")) ? std::stoull(m[1]) : 0;
}

// SIGTERM, then the seconds until the service was gone and its exit status.
std::pair<double, int> Terminate(ServiceProcess& service) {
    const auto start = std::chrono::steady_clock::now();
    const int status = service.stop();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            status};
}

// A pipe that the test holds open and never reads: writes into it block in
// the kernel once it is full.
class UnreadFifo {
  public:
    explicit UnreadFifo(const std::string& path) : path_(path) {
        mkfifo(path.c_str(), 0600);
        fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    ~UnreadFifo() { close(fd_); }
    bool held() const { return fd_ >= 0; }

  private:
    std::string path_;
    int fd_ = -1;
};

// The service's end waits for no device: the buffer's play-out (20 ms) and
// a second, plus a second for a sanitized process to exit on a busy machine.
constexpr double kExitSeconds = 1 + 1.02 + 1;

TEST(EmuapsdPlay, ADeviceThatTakesNothingIsGoneOnceAndTheServiceStillEndsOnSigterm) {
    TempDir dir;
    const std::string fifo = dir.path() + "/fifo";
    UnreadFifo unread(fifo);
    ASSERT_TRUE(unread.held());
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    dir.write("alsa/asoundrc",
              "pcm.intofifo { type file slave.pcm null file \"" + fifo +
                  "\" format raw }\n"
                  "pcm.shared { type share slave.pcm intofifo bindings [ 0 1 ] }\n");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const struct {
        const char* what;
        std::string pcm;
    } rows[] = {
        {"the file plugin blocking in the kernel", "file:'" + fifo + "',raw"},
        {"a sound server's thread blocked behind it (the share plugin)", "shared"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string log = dir.path() + "/log";
        ServiceProcess service(dir.path(), kImages + "demo.chip", log,
                               {"--run", "--play=" + row.pcm});
        EXPECT_TRUE(service.waitForLog("the sound device went away", 30000)) << FileText(log);
        const EmuapsctlSaid status = RunEmuapsctl(dir.path(), "status");
        EXPECT_NE(status.text.find("; the sound device went away"), status.text.npos)
            << status.text;
        const uint64_t ran = SamplesRun(dir);
        EXPECT_TRUE(Eventually([&] { return SamplesRun(dir) > ran + 4800; }))
            << "the chip goes on by the system clock";
        const auto [seconds, code] = Terminate(service);
        EXPECT_EQ(code, 0);
        EXPECT_LT(seconds, kExitSeconds);
        const std::string said = FileText(log);
        EXPECT_EQ(Count(said, "went away"), 2u) << said; // said once, and in the summary
        EXPECT_NE(said.find("emuapsd: stopped"), said.npos) << said;
    }
    unsetenv("XDG_CONFIG_HOME");
}

// The null device has no clock: the system's holds the chip to real time.
TEST(EmuapsdPlay, ADeviceWithoutAClockOfItsOwnIsHeldToRealTime) {
    TempDir dir;
    const auto start = std::chrono::steady_clock::now();
    ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log",
                           {"--run", "--play=null"});
    uint64_t ran = 0;
    double elapsed = 0;
    ASSERT_TRUE(Eventually([&] {
        ran = SamplesRun(dir);
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return ran >= 2 * kRate;
    }));
    // At most the device's buffer and the periods handed over ahead of the clock.
    EXPECT_LE(double(ran), elapsed * kRate + 4800) << ran << " samples in " << elapsed << " s";
}

// No thread but the one that takes them by sigwait (its mask shows them
// unblocked while it waits) may take the service's signals, a plugin's
// thread started at open included.
TEST(EmuapsdPlay, NoThreadButTheSignalTakerLetsTheServicesSignalsIn) {
    TempDir dir;
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    dir.write("alsa/asoundrc", "pcm.shared { type share slave.pcm null bindings [ 0 1 ] }\n");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log",
                           {"--run", "--play=shared", "--output", dir.path() + "/o.wav"});
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(service.waitForLog("control at"));
    const uint64_t signals = (1u << (SIGHUP - 1)) | (1u << (SIGINT - 1)) | (1u << (SIGTERM - 1));
    const std::string tasks = "/proc/" + std::to_string(service.pid()) + "/task";
    std::vector<std::string> open;
    int threads = 0;
    DIR* folder = opendir(tasks.c_str());
    ASSERT_NE(folder, nullptr);
    while (dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.' || std::stoi(entry->d_name) == service.pid())
            continue;
        ++threads;
        const std::string status = FileText(tasks + "/" + entry->d_name + "/status");
        std::smatch blocked;
        if (!std::regex_search(status, blocked, std::regex("SigBlk:\\s*([0-9a-f]+)")) ||
            (std::stoull(blocked[1], nullptr, 16) & signals) != signals)
            open.push_back(entry->d_name);
    }
    closedir(folder);
    EXPECT_GE(threads, 5) << "the chip's, the writer's, the plugin's, the socket's, the control's";
    EXPECT_TRUE(open.empty()) << ::testing::PrintToString(open);
}

// A device fed for 20 s as fast as the pacer and its room let it: one with a
// clock of its own a little off the system's never runs dry, and one without
// is held to the system clock, a buffer ahead.
TEST(ClockPacer, HoldsAClocklessDeviceToTheClockAndNeverThrottlesOneWithAClockOfItsOwn) {
    using Clock = ClockPacer::Clock;
    constexpr int64_t kBuffer = 960, kPeriod = 240;
    const struct {
        const char* what;
        double rate; // the device's own; 0 for none
    } rows[] = {
        {"no clock", 0}, {"1% slow", 0.99 * kRate}, {"on time", kRate}, {"1% fast", 1.01 * kRate}};
    for (const auto& row : rows) {
        ClockPacer pacer(kRate, kBuffer);
        Clock::time_point t{};
        const Clock::time_point end = t + 20s;
        double queued = 0; // in the device, unplayed
        bool started = false;
        int dry = 0;
        int64_t written = 0;
        auto playUntil = [&](Clock::time_point until) {
            if (started &&
                (queued -= row.rate * std::chrono::duration<double>(until - t).count()) < 0) {
                ++dry;
                queued = 0;
            }
            t = until;
        };
        while (t < end) {
            playUntil(std::max(t, pacer.When(kPeriod)));
            if (row.rate > 0 && queued + kPeriod > kBuffer) {
                pacer.Full(t); // the device starts when full, and says so
                started = true;
                playUntil(t +
                          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                              (queued + kPeriod - kBuffer) / row.rate)));
            }
            queued += kPeriod;
            written += kPeriod;
            pacer.Wrote(kPeriod, t);
        }
        EXPECT_EQ(dry, 0) << row.what;
        if (row.rate == 0) {
            EXPECT_LE(written, 20 * kRate + kBuffer + kPeriod) << row.what;
            EXPECT_GE(written, 20 * kRate) << row.what;
        }
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
