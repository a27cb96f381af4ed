// emuapsd --play and --capture through ALSA's own file and null devices,
// which need no sound card: what is played is what --render computes, sample
// for sample, and what cannot be played to or captured from is refused in
// one line.
#include "audio_samples.h"
#include "chip_load.h"
#include "clock_pacer.h"
#include "fx8010_interpreter.h"
#include "stall_watch.h"
#include "support/emuapsctl_run.h"
#include "support/emuapsd_run.h"
#include "support/eventually.h"
#include "support/file_text.h"
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
    dir.write("alsa/asoundrc",
              "pcm.only16 { type linear slave { pcm null format S16_LE } }\n"
              "pcm.only44k { type share slave { pcm null rate 44100 } bindings [ 0 1 ] }\n"
              "pcm.mono { type share slave { pcm null channels 1 } bindings [ 0 ] }\n");
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
        {"capture from nosuch", {"--run", "--capture=nosuch"}, 1, "--capture=nosuch: cannot open"},
        {"a capture of 16 bits", {"--run", "--capture=only16"}, 1, "does not record FLOAT_LE (it"},
        {"at 44.1 kHz",
         {"--run", "--capture=only44k", "--format=pcm16"},
         1,
         "records 44100 to 44100"},
        {"a mono capture",
         {"--run", "--capture=mono"},
         1,
         "not record 2 channels (it records 1 to"},
        {"--capture with --input", {"--run", "--capture", "--input", out}, 2, "not with --input"},
        {"with --render", {"--render", "1", "--output", out, "--capture"}, 2, "not with --render"},
        {"--capture with --card", {"--card", "0", "--capture"}, 2, "not with --card"},
        {"--capture without --run", {"--capture=null"}, 2, "add --run"},
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

// How far the process has read or written the file open at path; -1 when it has not.
int64_t Offset(pid_t pid, const std::string& path) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code gone;
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd", gone))
        if (std::filesystem::read_symlink(fd.path(), gone) == path)
            return std::stoll(
                FileText(proc + "/fdinfo/" + fd.path().filename().string()).substr(4));
    return -1;
}

// The captured file, through the demo patch, played into another: from the
// chip's first period what a render of the same file computes, frame for
// frame, each played (the device's buffer behind it) within the README's
// round trip of its reading, and OUT is that render. A sanitized chip on a
// machine too busy to run in real time runs the playback dry: such a run shows nothing.
TEST(EmuapsdCapture, WhatIsPlayedIsARenderOfTheCapturedFileAfterTheRoundTrip) {
    TempDir dir;
    std::mt19937 random(29);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    Wav<int16_t> pcm16{kRate, 2, {}};
    Wav<float> floats{kRate, 2, {}};
    for (int i = 0; i < 2 * kRate; ++i)
        floats.samples.push_back(float(pcm16.samples.emplace_back(int16_t(sample(random)))) /
                                 32768);
    ASSERT_TRUE(WriteWav(dir.path() + "/pcm16.wav", pcm16) &&
                WriteWav(dir.path() + "/float.wav", floats));
    std::ofstream(dir.path() + "/pcm16.raw")
        .write(reinterpret_cast<const char*>(pcm16.samples.data()), 4 * kRate);
    std::ofstream(dir.path() + "/float.raw")
        .write(reinterpret_cast<const char*>(floats.samples.data()), 8 * kRate);
    mkdir((dir.path() + "/alsa").c_str(), 0700);
    dir.write("alsa/asoundrc",
              "pcm.pcm16 { type file slave.pcm null file /dev/null infile \"" + dir.path() +
                  "/pcm16.raw\" }\npcm.float { type file slave.pcm null file /dev/null infile \"" +
                  dir.path() + "/float.raw\" }\n");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const std::string patch = kImages + "demo-chorus-echo.emu10k1",
                      played = dir.path() + "/played.raw", out = dir.path() + "/out.wav",
                      log = dir.path() + "/log";
    int kept = 0;
    std::vector<double> polls;
    std::vector<std::size_t> readAt, playedAt;
    for (const std::string format : {"pcm16", "float"}) {
        SCOPED_TRACE(format);
        EmuapsdRun render = RunEmuapsdToEnd(dir,
                                            {"--image", kImages + "demo.chip", "--patch", patch,
                                             "--input", dir.path() + "/" + format + ".wav",
                                             "--render", "1", "--output", out, "--format", format},
                                            60000);
        ASSERT_EQ(render.status, 0) << render.log;
        const Wav<float> rendered = format == "float" ? ReadFloatWav(out) : Wav<float>{};
        const Wav<int16_t> rendered16 = format == "float" ? Wav<int16_t>{} : ReadPcm16Wav(out);
        {
            ServiceProcess service(dir.path(), kImages + "demo.chip", log,
                                   {"--patch", patch, "--run", "--capture=" + format,
                                    "--play=file:FILE=" + played + ",FORMAT=raw", "--format",
                                    format, "--latency=100", "--output", out});
            // The polls' times; for each of the file's frames, the first poll
            // that saw it read, and played: it was between that one and the last.
            const int64_t frameBytes = format == "float" ? 8 : 4;
            using Clock = std::chrono::steady_clock;
            const Clock::time_point start = Clock::now();
            auto seen = [&](std::vector<std::size_t>& at, int64_t bytes) {
                while (int64_t(at.size()) < std::min<int64_t>(bytes / frameBytes, 2 * kRate))
                    at.push_back(polls.size() - 1);
            };
            polls = {0}, readAt.clear(), playedAt.clear();
            Eventually(
                [&] {
                    polls.push_back(std::chrono::duration<double>(Clock::now() - start).count());
                    seen(readAt, Offset(service.pid(), dir.path() + "/" + format + ".raw"));
                    seen(playedAt, Offset(service.pid(), played));
                    return playedAt.size() >= std::size_t(3 * kRate / 2);
                },
                60s);
            EXPECT_EQ(service.stop(), 0);
        }
        // A machine too loaded to keep real time underruns: then what is
        // played is rightly no longer the render.
        const std::string said = FileText(log);
        if (said.find(" with 0 underruns") == std::string::npos)
            continue;
        EXPECT_NE(said.find(" 0 frames dropped and 0 repeated"), said.npos) << said;
        ++kept;
        // As the samples of one format or the other, the played file's first
        // frames silent, the rest the render's, and OUT the render.
        auto check = [&](const auto& rendered, const auto& played, const auto& recorded) {
            auto sound = [](const auto& s) {
                return std::size_t(std::find_if(s.begin(), s.end(), [](auto x) { return x != 0; }) -
                                   s.begin());
            };
            const std::size_t lead =
                sound(played) - std::min(sound(played), sound(rendered.samples));
            ASSERT_GE(played.size(), lead + rendered.samples.size());
            EXPECT_TRUE(std::equal(rendered.samples.begin(), rendered.samples.end(),
                                   played.begin() + std::ptrdiff_t(lead)))
                << FileText(log);
            EXPECT_TRUE(std::equal(
                rendered.samples.begin(), rendered.samples.end(), recorded.samples.begin(),
                recorded.samples.begin() +
                    std::ptrdiff_t(std::min(recorded.samples.size(), rendered.samples.size()))));
            // The README: the buffer (100 ms) and three periods, below twice
            // --latency, as the chip runs on: each frame's trip is at least
            // `least` and at most `most`. A moment that the loaded machine
            // holds the service back lengthens the trips of the frames under
            // way then (a run of 2 tests at a time saw one 215 ms), not the
            // round trip it keeps: that is the middle one of the frames.
            std::vector<double> least;
            double most = 0;
            for (std::size_t f = 0; f + lead / 2 < playedAt.size() && f < readAt.size(); ++f) {
                least.push_back(polls[playedAt[f + lead / 2] - 1] - polls[readAt[f]]);
                most = std::max(most, polls[playedAt[f + lead / 2]] - polls[readAt[f] - 1]);
            }
            ASSERT_FALSE(least.empty());
            std::nth_element(least.begin(), least.begin() + std::ptrdiff_t(least.size() / 2),
                             least.end());
            EXPECT_GE(most, 0.1);
            EXPECT_LE(least[least.size() / 2], 0.2);
            // Read as the chip begins, the capture is not waited for.
            EXPECT_LT(lead / 2, std::size_t(kRate) / 10);
        };
        if (format == "float")
            check(rendered, ReadRaw<float>(played), ReadFloatWav(out));
        else
            check(rendered16, ReadRaw<int16_t>(played), ReadPcm16Wav(out));
    }
    unsetenv("XDG_CONFIG_HOME");
    if (kept == 0)
        GTEST_SKIP() << "the machine could not run the chip and its capture in real time";
}

int64_t Number(const std::string& text, const std::string& before) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(before + " (\\d+)")) ? std::stoll(m[1]) : -1;
}

int64_t SamplesRun(const TempDir& dir) {
    return Number(RunEmuapsctl(dir.path(), "status").text, "^\\w+;");
}

// The service's threads that let SIGHUP, SIGINT or SIGTERM in, but the one
// that takes them by sigwait (which shows them let in while it waits).
std::vector<std::string> ThreadsTakingSignals(pid_t pid) {
    const uint64_t signals = (1u << (SIGHUP - 1)) | (1u << (SIGINT - 1)) | (1u << (SIGTERM - 1));
    std::vector<std::string> open;
    std::error_code gone; // a service already gone has no threads to show
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", gone)) {
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
// gone once after 5 s, and status says so. The share plugin
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
        int64_t ran = 0;
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

// The recording under emuapsctl's verbs: OUT holds every sample the chip
// ends, whatever ran it, as the same chip run offline for as many samples;
// and no verb makes the device (held to real time) run dry.
TEST(EmuapsdPlay, OutHoldsEverySampleTheChipEndsWhateverRanItAndVerbsNeverStarveTheDevice) {
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

// A device 1% faster than the system clock, fed for 20 s as fast as the pacer
// and its room let it, never runs dry: the pacer never holds it back.
TEST(ClockPacer, NeverThrottlesADeviceWithAClockOfItsOwn) {
    using Clock = ClockPacer::Clock;
    ClockPacer pacer(kRate, 960);
    const double rate = 1.01 * kRate;
    double queued = 0; // in the device, unplayed; it starts when full
    int dry = 0;
    for (Clock::time_point t{}, next; t < Clock::time_point{} + 20s; t = next) {
        next = std::max(t, pacer.When(240));
        if (pacer.clocked() &&
            (queued -= rate * std::chrono::duration<double>(next - t).count()) < 0)
            queued = 0, ++dry;
        if (queued + 240 > 960) { // full: it says so, and has room a little later
            pacer.Full(next);
            next += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>((queued + 240 - 960) / rate));
            queued = 960 - 240;
        }
        queued += 240;
        pacer.Wrote(240, next);
    }
    EXPECT_EQ(dry, 0);
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

// Both directions lose a device after 5 s in which no frame moved, not a
// moment sooner, counted afresh from each frame that does move.
TEST(StallWatch, ADeviceIsGoneFiveSecondsAfterTheLastFrameItMoved) {
    const StallWatch::Clock::time_point start{};
    StallWatch watch(start);
    const struct {
        int ms;
        bool moved; // a frame moved just then
        bool stalled;
    } steps[] = {
        {0, false, false},   {4999, false, false}, {5000, false, true},
        {5000, true, false}, {9999, false, false}, {10000, false, true},
    };
    for (const auto& step : steps) {
        const auto now = start + std::chrono::milliseconds(step.ms);
        if (step.moved)
            watch.Moved(now);
        EXPECT_EQ(watch.Stalled(now), step.stalled) << "at " << step.ms << " ms";
    }
    EXPECT_EQ(StallWatch::Why("took"), "it took nothing for 5 seconds");
}

} // namespace
