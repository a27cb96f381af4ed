// Reloads of the running emuapsd recorded with --output: a program whose
// static counts the samples records each sample once, in order, across
// every reload, taken or refused, and an edit saved under
// --reload-on-change is heard from one sample on.
#include "support/emuapsctl_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

// n counts by `step` each sample.
void Assemble(const TempDir& dir, int step) {
    dir.write("count.asm", "\tname\t\"count\"\nC_0\tequ\t$040\nC_STEP\tequ\t$04" +
                               std::to_string(step) +
                               "\nn\tsta\t0\n\tacc3\tn,n,C_STEP,C_0\n\tend\n");
    const std::string base = dir.path() + "/count";
    ASSERT_EQ(std::system(("as10k1 -d gti -o " + base + ".emu10k1.new " + base + ".asm > " + base +
                           ".dbg && mv " + base + ".emu10k1.new " + base + ".emu10k1")
                              .c_str()),
              0)
        << "as10k1 (alsa-tools) is needed";
}

// Each recorded sample's count less the one before it.
std::vector<int64_t> Steps(const std::string& wav) {
    const Wav<float> recorded = ReadFloatWav(wav);
    std::vector<int64_t> steps;
    for (std::size_t i = 1; i < recorded.samples.size(); ++i)
        steps.push_back(std::llround(
            std::ldexp(double(recorded.samples[i]) - double(recorded.samples[i - 1]), 31)));
    return steps;
}

int64_t SamplesRun(const TempDir& dir) {
    const std::string text = RunEmuapsctl(dir.path(), "status").text;
    const std::size_t at = text.find("; "); // "running; 123 samples; ..."
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 2);
}

// Waits until the chip has run some samples past now.
bool RunsOn(const TempDir& dir) {
    const int64_t now = SamplesRun(dir);
    return Eventually([&] { return SamplesRun(dir) > now + 4800; });
}

TEST(ReloadProcess, NoSampleIsLostOrRepeatedAcrossReloadsAndABrokenOneChangesNothing) {
    TempDir dir;
    Assemble(dir, 1);
    const std::string patch = dir.path() + "/count.emu10k1", out = dir.path() + "/out.wav";
    const std::string chip = dir.write("empty.chip", "emuaps-chip-image 1\n");
    ServiceProcess service(dir.path(), chip, dir.path() + "/log",
                           {"--patch", patch, "--names", dir.path() + "/count.dbg", "--run",
                            "--output", out, "--record=n"});
    ASSERT_TRUE(service.waitForLog("recording"));
    ASSERT_TRUE(RunsOn(dir));
    const EmuapsctlSaid same = RunEmuapsctl(dir.path(), "reload");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.text, "reloaded count.emu10k1: 1 -> 1 instructions; kept n; new —; gone —; "
                         "every name stays where it was\n");
    ASSERT_TRUE(RunsOn(dir));
    dir.write("count.emu10k1", "EMU10K1 FX8010 1 and then nothing");
    const EmuapsctlSaid broken = RunEmuapsctl(dir.path(), "reload");
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(broken.text.starts_with("emuapsctl: not reloaded: " + patch + ": ")) << broken.text;
    EXPECT_TRUE(broken.text.ends_with("; the chip keeps its program and names\n")) << broken.text;
    EXPECT_TRUE(RunsOn(dir)) << "the chip plays on";
    Assemble(dir, 1);
    EXPECT_EQ(RunEmuapsctl(dir.path(), "reload").status, 0);
    ASSERT_TRUE(RunsOn(dir));
    EXPECT_EQ(service.stop(), 0);
    const std::vector<int64_t> steps = Steps(out);
    ASSERT_GT(steps.size(), 4u * 4800);
    std::size_t wrong = 0;
    for (int64_t step : steps)
        wrong += step != 1;
    EXPECT_EQ(wrong, 0u) << "every sample once, the count kept";
}

// The counter's step edited from 1 to 2 and assembled anew: the watch
// reloads it, and the recording steps by 1, then by 2, with nothing between.
TEST(ReloadProcess, AnEditSavedIsReloadedOnChangeAndHeardFromOneSampleOn) {
    TempDir dir;
    Assemble(dir, 1);
    const std::string out = dir.path() + "/out.wav";
    const std::string chip = dir.write("empty.chip", "emuaps-chip-image 1\n");
    ServiceProcess service(dir.path(), chip, dir.path() + "/log",
                           {"--patch", dir.path() + "/count.emu10k1", "--names",
                            dir.path() + "/count.dbg", "--run", "--output", out, "--record=n",
                            "--reload-on-change"});
    ASSERT_TRUE(service.waitForLog("reloading when a file of the chip is saved"));
    ASSERT_TRUE(RunsOn(dir));
    Assemble(dir, 2);
    ASSERT_TRUE(service.waitForLog("reloaded count.emu10k1: 1 -> 1 instructions; kept n;"));
    ASSERT_TRUE(RunsOn(dir));
    EXPECT_EQ(service.stop(), 0);
    const std::vector<int64_t> steps = Steps(out);
    const auto edit = std::find(steps.begin(), steps.end(), 2);
    ASSERT_NE(edit, steps.end()) << "the edit is heard";
    EXPECT_TRUE(std::all_of(steps.begin(), edit, [](int64_t s) { return s == 1; }));
    EXPECT_TRUE(std::all_of(edit, steps.end(), [](int64_t s) { return s == 2; }));
}

} // namespace
