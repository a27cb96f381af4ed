// The real emuapsd's sound: WAV files in, rendered offline and recorded in
// real time, with exact samples wherever the chip's arithmetic is exact; and
// the command lines it refuses.
#include "fx8010_interpreter.h"
#include "loaded_program.h"
#include "service_options.h"
#include "support/emuapsd_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kImages = std::string(VELMORA_PROGRAM_DIR) + "/images/";
constexpr int kRate = 48000;
// Offline renders under the sanitizers on a busy machine take their time.
constexpr int kRenderTimeoutMs = 60000;

// Effects bus 0 copied to output 0x20, and nothing else.
const char* const kCopyChip = "emuaps-chip-image 1\n"
                              "instr 0 ACC3 0x020 0x000 0x040 0x040\n"
                              "instr 1-511 ACC3 0x040 0x040 0x040 0x040\n";

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct PlacedLine {
    int write = 0;
    int read = 0;
};

// The delay lines that the service's log says the patch's were placed with,
// in the patch's order.
std::vector<PlacedLine> PlacedDelayLines(const std::string& log) {
    static const std::regex line(
        R"(delay line of \d+ samples in \w+ TRAM at \d+ \(write 0x[0-9A-F]+ at (\d+), read 0x[0-9A-F]+ at (\d+)\))");
    std::vector<PlacedLine> lines;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
         ++it)
        lines.push_back({std::stoi((*it)[1]), std::stoi((*it)[2])});
    return lines;
}

TEST(EmuapsdSound, AnImpulseThroughTheDemoPatchComesOutAtTheDelaysItsLinesWerePlacedWith) {
    TempDir dir;
    Wav<int16_t> impulse;
    impulse.channels = 2;
    impulse.samples.assign(2 * 100, 0);
    impulse.samples[0] = 16384; // left only
    const std::string input = dir.path() + "/impulse.wav";
    ASSERT_TRUE(WriteWav(input, impulse));
    auto render = [&](const std::string& out, std::vector<std::string> chip) {
        chip.insert(chip.end(), {"--input", input, "--once", "--render", "0.625", "--output",
                                 dir.path() + "/" + out, "--format", "pcm16"});
        return RunEmuapsdToEnd(dir, chip, kRenderTimeoutMs);
    };
    EmuapsdRun with = render("with.wav", {"--image", kImages + "demo.chip", "--patch",
                                          kImages + "demo-chorus-echo.emu10k1"});
    ASSERT_EQ(with.status, 0) << with.log;
    EmuapsdRun without = render("without.wav", {"--image", kImages + "demo.chip"});
    ASSERT_EQ(without.status, 0) << without.log;
    std::vector<PlacedLine> lines = PlacedDelayLines(with.log);
    ASSERT_EQ(lines.size(), 2u) << with.log;
    const int chorus = lines[0].read - lines[0].write;
    const int echo = lines[1].read - lines[1].write;

    Wav<int16_t> a = ReadPcm16Wav(dir.path() + "/with.wav");
    Wav<int16_t> b = ReadPcm16Wav(dir.path() + "/without.wav");
    ASSERT_EQ(a.channels, 2);
    ASSERT_EQ(a.frames(), 30000);
    ASSERT_EQ(b.frames(), 30000);
    // The chip's own program computes the same in both renders; on the right
    // output the patch adds only its delayed signal, so the renders differ
    // exactly where the impulse comes out of the patch's delay lines.
    std::vector<int64_t> heard;
    for (int64_t f = 0; f < a.frames(); ++f)
        if (a.samples[2 * f + 1] != b.samples[2 * f + 1])
            heard.push_back(f);
    ASSERT_EQ(heard.size(), 3u) << ::testing::PrintToString(heard);
    // The program sweeps the chorus's read point up to 96 samples either side
    // of where it was placed (its depth control, &0.004, times its
    // oscillator's amplitude, 0.5); the echo's stays put and feeds back.
    EXPECT_NEAR(heard[0], chorus, 96);
    EXPECT_EQ(heard[1], echo);
    EXPECT_EQ(heard[2], 2 * echo);
}

TEST(EmuapsdSound, AChipWithNoProgramRendersSilence) {
    TempDir dir;
    Wav<float> noise;
    noise.channels = 16;
    std::mt19937 random(15);
    std::uniform_real_distribution<float> fullScale(-1.0f, 1.0f);
    for (int i = 0; i < 16 * 4000; ++i)
        noise.samples.push_back(fullScale(random));
    const std::string input = dir.path() + "/noise.wav";
    ASSERT_TRUE(WriteWav(input, noise));
    // No image: every register, the microcode too, is 0.
    EmuapsdRun run = RunEmuapsdToEnd(dir,
                                     {"--input", input, "--render", "0.1", "--output",
                                      dir.path() + "/out.wav", "--record", "0x20,0x21,0x3F"},
                                     kRenderTimeoutMs);
    ASSERT_EQ(run.status, 0) << run.log;
    Wav<float> out = ReadFloatWav(dir.path() + "/out.wav");
    ASSERT_EQ(out.channels, 3);
    ASSERT_EQ(out.frames(), 4800);
    for (std::size_t i = 0; i < out.samples.size(); ++i)
        ASSERT_EQ(out.samples[i], 0.0f) << "sample " << i / 3 << " channel " << i % 3;
}

// Every program the tests load, a second of noise through it, rendered by
// both engines: the recordings of the outputs and of GPRs are the same bytes.
TEST(EmuapsdSound, BothEnginesRenderTheSameBytes) {
    TempDir dir;
    Wav<float> noise;
    noise.channels = 4;
    std::mt19937 random(28);
    std::uniform_real_distribution<float> fullScale(-1.0f, 1.0f);
    for (int i = 0; i < 4 * kRate; ++i)
        noise.samples.push_back(fullScale(random));
    const std::string input = dir.path() + "/noise.wav";
    ASSERT_TRUE(WriteWav(input, noise));
    const std::string patches[] = {"", kImages + "demo-chorus-echo.emu10k1",
                                   std::string(VELMORA_SOURCE_DIR) +
                                       "/tests/driver/data/probe.emu10k1"};
    for (const std::string& patch : patches) {
        std::string wav[2];
        for (const char* engine : {"fast", "reference"}) {
            std::vector<std::string> args = {
                "--image",  kImages + "demo.chip",
                "--engine", engine,
                "--input",  input,
                "--render", "1",
                "--output", dir.path() + "/" + engine + ".wav",
                "--record", "0x20,0x21,0x22,0x23,0x100,0x101,0x102,0x110"};
            if (!patch.empty())
                args.insert(args.end(), {"--patch", patch});
            EmuapsdRun run = RunEmuapsdToEnd(dir, args, kRenderTimeoutMs);
            ASSERT_EQ(run.status, 0) << patch << "\n" << run.log;
            EXPECT_NE(run.log.find(std::string("on the ") + engine + " engine"), std::string::npos);
            wav[engine[0] == 'r'] = ReadBytes(dir.path() + "/" + engine + ".wav");
        }
        EXPECT_GT(wav[0].size(), std::size_t(kRate) * 8 * 4) << patch;
        EXPECT_TRUE(wav[0] == wav[1]) << patch;
    }
}

// 16-bit samples are s << 16 on the chip, and floats on a 24-bit grid are
// whole Q31 values, so a copy gives back every bit; the file loops.
TEST(EmuapsdSound, ASineThroughAnAcc3CopyComesOutBitExactAndTheInputLoops) {
    TempDir dir;
    const std::string chip = dir.write("copy.chip", kCopyChip);
    // 1 kHz, 1000 samples: not whole cycles, so a wrong seam would show.
    const int kLength = 1000;
    Wav<int16_t> pcm;
    Wav<float> floats;
    for (int n = 0; n < kLength; ++n) {
        double x = 0.8 * std::sin(2 * M_PI * 1000 * n / kRate + 0.1);
        pcm.samples.push_back(int16_t(std::lrint(x * 32767)));
        floats.samples.push_back(float(std::ldexp(std::lrint(std::ldexp(x, 23)), -23)));
    }
    ASSERT_TRUE(WriteWav(dir.path() + "/pcm16.wav", pcm));
    ASSERT_TRUE(WriteWav(dir.path() + "/float.wav", floats));

    for (std::string format : {"pcm16", "float"}) {
        const std::string out = dir.path() + "/out-" + format + ".wav";
        EmuapsdRun run = RunEmuapsdToEnd(dir,
                                         {"--image", chip, "--input",
                                          dir.path() + "/" + format + ".wav", "--render", "0.05",
                                          "--output", out, "--format", format, "--record", "0x20"},
                                         kRenderTimeoutMs);
        ASSERT_EQ(run.status, 0) << run.log;
        if (format == "pcm16") {
            Wav<int16_t> got = ReadPcm16Wav(out);
            ASSERT_EQ(got.frames(), 2400);
            for (int n = 0; n < 2400; ++n)
                ASSERT_EQ(got.samples[n], pcm.samples[n % kLength]) << "sample " << n;
        } else {
            Wav<float> got = ReadFloatWav(out);
            ASSERT_EQ(got.frames(), 2400);
            for (int n = 0; n < 2400; ++n)
                ASSERT_EQ(got.samples[n], floats.samples[n % kLength]) << "sample " << n;
            // No PEAK chunk, whose timestamp makes the same render twice differ.
            std::ifstream file(out, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}).find("PEAK"),
                      std::string::npos);
        }
    }
}

// SIGINT or SIGTERM in the middle of a real-time recording: the service ends
// well, and the file holds every sample it says it recorded, from the chip's
// first, with the input played once and silence after it.
TEST(EmuapsdSound, InterruptingARecordingLeavesAWholeWavOfEverySampleRecorded) {
    const struct {
        int signal;
        const char* format;
    } cases[] = {{SIGINT, "pcm16"}, {SIGTERM, "float"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        TempDir dir;
        const std::string chip = dir.write("copy.chip", kCopyChip);
        const int kLength = 4800;
        Wav<int16_t> input;
        for (int n = 0; n < kLength; ++n)
            input.samples.push_back(int16_t(n * 37 - 20000)); // no two alike
        ASSERT_TRUE(WriteWav(dir.path() + "/in.wav", input));
        const std::string out = dir.path() + "/out.wav";
        const std::string log = dir.path() + "/service.log";
        const auto start = Clock::now();
        ServiceProcess service(dir.path(), chip, log,
                               {"--input", dir.path() + "/in.wav", "--once", "--run", "--output",
                                out, "--format", c.format, "--record", "0x20"});
        // The file is whole at any moment: wait until it holds the input.
        auto frames = [&] {
            return std::string(c.format) == "pcm16" ? ReadPcm16Wav(out).frames()
                                                    : ReadFloatWav(out).frames();
        };
        for (int i = 0; i < 1000 && frames() < kLength; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(frames(), kLength);
        kill(service.pid(), c.signal);
        ASSERT_TRUE(service.waitForLog("stopped"));
        EXPECT_EQ(service.stop(), 0);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

        std::smatch said;
        std::string text;
        {
            std::ifstream in(log);
            std::stringstream all;
            all << in.rdbuf();
            text = all.str();
        }
        ASSERT_TRUE(std::regex_search(
            text, said, std::regex(R"(recorded (\d+) samples \([0-9.]+ s\) to ([^\n]*)\n)")))
            << text;
        EXPECT_EQ(said[2], out) << "it says when some of what it was handed was not written";
        const int64_t recorded = std::stoll(said[1]);
        std::vector<float> got; // as fractions of full scale
        if (std::string(c.format) == "pcm16") {
            Wav<int16_t> wav = ReadPcm16Wav(out);
            ASSERT_EQ(wav.channels, 1);
            for (int16_t s : wav.samples)
                got.push_back(float(s) / 32768);
        } else {
            Wav<float> wav = ReadFloatWav(out);
            ASSERT_EQ(wav.channels, 1);
            got = wav.samples;
        }
        ASSERT_EQ(int64_t(got.size()), recorded);
        EXPECT_LE(recorded, int64_t(seconds * kRate) + 48) << "never ahead of the clock";
        for (int n = 0; n < kLength; ++n)
            ASSERT_EQ(got[n], float(input.samples[n]) / 32768) << "sample " << n;
        for (int64_t n = kLength; n < recorded; ++n)
            ASSERT_EQ(got[n], 0.0f) << "sample " << n;
    }
}

TEST(EmuapsdSound, CommandLinesThatCannotMakeSoundAreMistakes) {
    auto mistake = [](std::vector<std::string> args) {
        ParsedOptions parsed = ParseServiceOptions(args);
        return parsed.action == ParsedOptions::Action::Mistake ? parsed.mistake : "(accepted)";
    };
    auto recording = [&](const std::string& list) {
        return mistake({"--render", "1", "--output", "o.wav", "--record", list});
    };
    for (std::string bad : {"", "0x40", "0x1F", "0x20,,0x21", "0x20,", "0x20,0x20", "0x20 ",
                            "0x300", "0x56", "0x400"})
        EXPECT_NE(recording(bad).find("--record takes registers the DSP computes"),
                  std::string::npos)
            << "'" << bad << "': " << recording(bad);
    ParsedOptions listed =
        ParseServiceOptions({"--run", "--output", "o.wav", "--record=0x3F,32,0x2a"});
    ASSERT_EQ(listed.action, ParsedOptions::Action::Serve) << listed.mistake;
    EXPECT_EQ(listed.options.record, (std::vector<uint32_t>{0x3F, 0x20, 0x2A}));

    EXPECT_NE(mistake({"--render", "0", "--output", "o.wav"}).find("--render takes"),
              std::string::npos);
    EXPECT_NE(mistake({"--render", "1e3", "--output", "o.wav"}).find("--render takes"),
              std::string::npos);
    EXPECT_NE(mistake({"--render", "1"}).find("--output"), std::string::npos);
    EXPECT_NE(mistake({"--engine", "turbo"}).find("--engine takes fast or reference"),
              std::string::npos);
    EXPECT_NE(mistake({"--input", "i.wav"}).find("add --run or --render"), std::string::npos);
    EXPECT_NE(mistake({"--run", "--render", "1", "--output", "o.wav"}).find("choose one"),
              std::string::npos);
    EXPECT_NE(mistake({"--run", "--once"}).find("--once goes with --input"), std::string::npos);
    EXPECT_NE(mistake({"--run", "--output", "o.wav", "--format", "wav"}).find("float or pcm16"),
              std::string::npos);
    EXPECT_NE(mistake({"--card", "0", "--input", "i.wav"}).find("simulated chip"),
              std::string::npos);
    // 32 channels of float for a day do not fit the 32-bit sizes of a WAV file.
    std::string all;
    for (int reg = 0x20; reg < 0x40; ++reg)
        all += std::to_string(reg) + (reg < 0x3F ? "," : "");
    EXPECT_NE(mistake({"--render", "86400", "--output", "o.wav", "--record", all})
                  .find("a WAV file holds 4 GiB"),
              std::string::npos);
}

// OUT holds a GPR and a TRAM data register named by the patch, at full
// scale, from the first sample as an offline run of the placed chip leaves
// them, rendered and running; a name the patch lacks stops the service first.
TEST(EmuapsdSound, RecordByNamePutsTheNamedRegistersIntoOut) {
    TempDir dir;
    const std::string patch = kImages + "demo-chorus-echo.emu10k1";
    const std::string dump = kImages + "demo-chorus-echo.dbg", out = dir.path() + "/out.wav";
    auto render = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"--image", kImages + "demo.chip", "--patch", patch, "--render",
                                   "0.05", "--output", out});
        return RunEmuapsdToEnd(dir, more, kRenderTimeoutMs);
    };
    EmuapsdRun unknown = render({"--record=wet"}); // wet is the dump's name
    EXPECT_EQ(unknown.status, 2) << unknown.log;
    EXPECT_NE(unknown.log.find("no register is called wet; names come with --names DUMP"),
              std::string::npos)
        << unknown.log;
    EXPECT_FALSE(std::ifstream(out).good()) << "nothing recorded";

    LoadedProgram loaded;
    ChipImage chip = *LoadChipWithPatch(kImages + "demo.chip", patch, dump, &loaded).image;
    std::vector<uint32_t> probes; // wet, then cr: the dump's order
    for (const PlacedName& n : loaded.names)
        if (n.name == "wet" || n.name == "cr")
            probes.push_back(n.address);
    ASSERT_EQ(probes.size(), 2u);
    constexpr int kFrames = 2400;
    std::vector<float> offline;
    int heard[2] = {0, 0};
    Fx8010Interpreter dsp;
    for (int n = 0; n < 2 * kFrames; ++n) {
        if (n % 2 == 0)
            dsp.Run(chip, 1);
        offline.push_back(FloatFromQ31(dsp.Operand(probes[n % 2])));
        heard[n % 2] += offline.back() != 0;
    }
    EXPECT_TRUE(heard[0] > 0 && heard[1] > 0) << "both carry the test signal";
    ASSERT_EQ(render({"--names", dump, "--record=wet,cr"}).status, 0);
    EXPECT_TRUE(ReadFloatWav(out).samples == offline) << "rendered";

    std::remove(out.c_str()); // else the wait below may be met by the render's file
    ServiceProcess service(
        dir.path(), kImages + "demo.chip", dir.path() + "/log",
        {"--patch", patch, "--names", dump, "--run", "--output", out, "--record=wet,cr"});
    EXPECT_TRUE(Eventually([&] { return ReadFloatWav(out).frames() >= kFrames; }));
    EXPECT_EQ(service.stop(), 0);
    Wav<float> ran = ReadFloatWav(out);
    ASSERT_EQ(ran.channels, 2);
    ran.samples.resize(offline.size());
    EXPECT_TRUE(ran.samples == offline) << "running";
}

} // namespace
