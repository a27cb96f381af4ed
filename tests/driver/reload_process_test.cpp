// Reloads of the running emuapsd recorded with --output, on a program whose
// static n counts the samples: each sample is recorded once, in order, the
// count kept across every reload, taken or refused; an edit saved under
// --reload-on-change is heard from one sample on.
#include "support/emuapsctl_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// n counts by step (1 or 2: the constant at 0x041 or 0x042) each sample;
// step 2 brings a new static m. Both are in n.asm's include.
const std::string kMain = "\tname\t\"n\"\nn\tsta\t0\n\tinclude\t\"step.inc\"\n\tend\n";
void Assemble(const TempDir& dir, int step) {
    dir.write("step.inc", std::string(step == 2 ? "m\tsta\t0\n" : "") + "\tacc3\tn,n,$04" +
                              std::to_string(step) + ",$040\n");
    ASSERT_EQ(std::system(("cd " + dir.path() +
                           " && as10k1 -d gti -o n.new n.asm > n.dbg && mv n.new n.emu10k1")
                              .c_str()),
              0);
}

// Until the chip has run another 0.1 s.
bool RunsOn(const TempDir& dir) {
    auto at = [&] { return std::atoll(RunEmuapsctl(dir.path(), "status").text.c_str() + 8); };
    const int64_t now = at(); // "running; N samples; ..."
    return Eventually([&] { return at() > now + 4800; });
}

// Each form a patch comes in: a binary with its dump, and the source itself,
// which emuapsd assembles and watches with its include.
TEST(ReloadProcess, NoSampleIsLostOrRepeatedAndTheCountIsKeptAcrossReloads) {
    const struct {
        const char* file;
        bool source;
    } forms[] = {{"n.emu10k1", false}, {"n.asm", true}};
    for (const auto& form : forms) {
        SCOPED_TRACE(form.file);
        TempDir dir;
        dir.write("n.asm", kMain);
        Assemble(dir, 1);
        const std::string n = dir.path() + "/n", out = dir.path() + "/out.wav";
        std::vector<std::string> args = {"--patch", dir.path() + "/" + form.file};
        if (!form.source)
            args.insert(args.end(), {"--names", n + ".dbg"});
        args.insert(args.end(), {"--run", "--output", out, "--record=n", "--reload-on-change"});
        ServiceProcess service(dir.path(), dir.write("empty.chip", "emuaps-chip-image 1\n"),
                               dir.path() + "/log", args);
        ASSERT_TRUE(service.waitForLog("reloading when a file of the chip is saved"));
        ASSERT_TRUE(RunsOn(dir));
        EXPECT_EQ(RunEmuapsctl(dir.path(), "reload").text,
                  "reloaded " + std::string(form.file) +
                      ": 1 -> 1 instructions; kept n; new —; gone —; every name stays "
                      "where it was\n");
        if (form.source)
            dir.write("n.asm", "\tname\t\"n\"\nn\tsta\t0\n\tacc3\tn,n,zz,$040\n\tend\n");
        else
            dir.write("n.emu10k1", "EMU10K1 FX8010 1 and no more");
        const EmuapsctlSaid broken = RunEmuapsctl(dir.path(), "reload");
        EXPECT_TRUE(broken.text.starts_with("emuapsctl: not reloaded: " + dir.path() + "/" +
                                            form.file + (form.source ? ":3: " : ": ")) &&
                    broken.text.ends_with("; the chip keeps its program and names\n"))
            << broken.text;
        EXPECT_EQ(broken.status, 1);
        dir.write("n.asm", kMain);
        ASSERT_TRUE(RunsOn(dir)) << "the chip plays on";
        Assemble(dir, 2); // saved, the source's include only: the watch reloads it
        ASSERT_TRUE(service.waitForLog("reloaded " + std::string(form.file) +
                                       ": 1 -> 1 instructions; kept n; new m;"));
        ASSERT_TRUE(RunsOn(dir));
        EXPECT_EQ(service.stop(), 0);
        const std::vector<float> v = ReadFloatWav(out).samples;
        std::vector<int64_t> steps; // each sample's count less the one before
        for (std::size_t i = 1; i < v.size(); ++i)
            steps.push_back(std::llround(std::ldexp(double(v[i]) - double(v[i - 1]), 31)));
        const auto edit = std::find(steps.begin(), steps.end(), 2);
        ASSERT_NE(edit, steps.end()) << "the edit is heard";
        // Two waits of more than 4800 samples each came before the edit.
        ASSERT_GT(edit - steps.begin(), 2 * 4800) << "after the reloads";
        EXPECT_EQ(std::count(steps.begin(), edit, 1), edit - steps.begin());
        EXPECT_EQ(std::count(edit, steps.end(), 2), steps.end() - edit);
    }
}

} // namespace
