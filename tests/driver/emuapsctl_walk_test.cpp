// A walk through emuapsctl's verbs with the real emuapsd running the demo,
// its recording on, and Zendra holding the device: every stop, step and set
// is checked against the interpreter run offline in lockstep.
#include "audio_samples.h"
#include "fx8010_interpreter.h"
#include "loaded_program.h"
#include "support/emuapsctl_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Registers = std::array<uint32_t, kChipRegisterCount>;
constexpr uint32_t kDbg = fx8010dbg::kRegister;
// The demo patch's GPRs in its file's order: the sine sweep's sin, its mix level.
constexpr uint32_t kLfo = 0x121, kMix = 0x126;
const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";

EmuapsctlSaid Ctl(const TempDir& dir, const std::string& args) {
    return RunEmuapsctl(dir.path(), args);
}

uint64_t Number(const std::string& text, const std::string& before) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(text, m, std::regex(before + " (\\d+)"))) << text;
    return m.empty() ? 0 : std::stoull(m[1]);
}

Registers ReadChip() {
    Registers r{};
    EXPECT_EQ(ifGPRMemoryReadAll(0, int32_t(r.size()), reinterpret_cast<int32_t*>(r.data())), 0);
    return r;
}

std::vector<uint32_t> Changed(const Registers& a, const Registers& b) {
    std::vector<uint32_t> changed;
    for (uint32_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            changed.push_back(i);
    return changed;
}

// The same chip run offline, block by block as the service runs it, with its
// front outputs as the recording takes them.
struct Offline {
    ChipImage chip;
    Fx8010Interpreter dsp;
    std::vector<int16_t> frames;
    void RunTo(uint64_t sample) {
        int32_t outputs[48 * DspBlockIo::kOutputs];
        while (dsp.samples() < sample) {
            int n = int(std::min<uint64_t>(48, sample - dsp.samples()));
            dsp.Run(chip, n, {outputs});
            for (int i = 0; i < n; ++i)
                for (int out : {0, 1})
                    frames.push_back(Pcm16FromQ31(outputs[i * DspBlockIo::kOutputs + out]));
        }
    }
    Registers Seen() const {
        Registers r = chip.registers;
        r[kDbg] = 0; // the chip's own is compared on its own
        return r;
    }
};

Registers WithoutDbg(Registers r) {
    r[kDbg] = 0;
    return r;
}

TEST(EmuapsctlWalk, EveryVerbAgainstTheOfflineRun) {
    TempDir dir;
    const std::string wav = dir.path() + "/out.wav";
    ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log",
                           {"--patch", kImages + "demo-chorus-echo.emu10k1", "--run", "--output",
                            wav, "--format", "pcm16"});
    ASSERT_TRUE(service.waitForLog("control at"));
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);
    ChipImageResult loaded =
        LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr);
    ASSERT_TRUE(loaded.image);

    // set while it runs and records: it lands between two blocks.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const uint64_t k = Number(Ctl(dir, "set 0x126 0").text, "reads it next, in sample");
    EXPECT_EQ(Ctl(dir, "get 0x126").text, "mix (0x126) = 0x00000000 0 0: 0.000 in 0.000 to 0.990\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const uint64_t n = Number(Ctl(dir, "stop").text, "at sample");
    Registers chip = ReadChip();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ReadChip(), chip) << "a stopped chip stands still";

    Offline offline{*loaded.image, {}, {}};
    offline.RunTo(k);
    offline.chip.registers[kMix] = 0;
    offline.RunTo(n);
    ASSERT_EQ(offline.Seen(), WithoutDbg(chip));

    // advance 1: exactly one offline sample's changes.
    EXPECT_EQ(Ctl(dir, "advance").status, 0);
    offline.RunTo(n + 1);
    Registers after = ReadChip();
    EXPECT_EQ(WithoutDbg(after), offline.Seen());
    EXPECT_FALSE(Changed(WithoutDbg(chip), WithoutDbg(after)).empty());
    // back 1: the viewer reads the stopped sample's state again, the set
    // replayed; advance: the sample after it once more.
    EXPECT_EQ(Ctl(dir, "back 1").status, 0);
    EXPECT_EQ(WithoutDbg(ReadChip()), WithoutDbg(chip));
    EXPECT_EQ(Ctl(dir, "advance").status, 0);
    EXPECT_EQ(WithoutDbg(ReadChip()), WithoutDbg(after));

    // step: its result register and DBG at most, DBG with the result's codes.
    auto step = [&](const std::string& verb, uint32_t address) {
        const Registers before = ReadChip();
        const uint32_t r = (before[kMicrocodeBase + 2 * address + 1] >> 10) & 0x3FF;
        EXPECT_EQ(Ctl(dir, verb).status, 0) << verb;
        offline.chip.registers[kDbg] = fx8010dbg::kSingleStep | fx8010dbg::kStep | address;
        offline.dsp.Run(offline.chip, 0);
        const Registers now = ReadChip();
        for (uint32_t reg : Changed(before, now))
            EXPECT_TRUE(reg == r || reg == kDbg) << verb << ": 0x" << std::hex << reg;
        const uint32_t shown = fx8010::kCcZero | fx8010::kCcNegative | fx8010::kCcNormalised;
        EXPECT_EQ(fx8010dbg::Codes(now[kDbg]) & shown,
                  fx8010::ResultCodes(int32_t(now[r])) & shown);
        EXPECT_EQ(WithoutDbg(now), offline.Seen()) << verb;
    };
    step("step 0", 0);

    // watch: the first change of the sweep's sine, and the instruction that made it.
    EmuapsctlSaid said = Ctl(dir, "watch 0x121");
    DebugStop stop = offline.dsp.RunUntil(offline.chip, {{}, {kLfo}}, 480000, true);
    ASSERT_EQ(stop.why, DebugStop::Why::Watch);
    char expected[64];
    std::snprintf(expected, sizeof expected, "0x121 changed 0x%08X -> 0x%08X by instruction 0x%03X",
                  uint32_t(stop.before), uint32_t(stop.after), stop.address);
    EXPECT_EQ(said.text.rfind(expected, 0), 0u) << said.text;
    EXPECT_EQ(ReadChip()[kLfo], uint32_t(stop.after));

    // break, then a step executes the instruction broken at.
    said = Ctl(dir, "break 0x30");
    EXPECT_EQ(said.text.rfind("break at instruction 0x030", 0), 0u) << said.text;
    EXPECT_EQ(fx8010dbg::StepAddress(ReadChip()[kDbg]), 0x30u);
    offline.dsp.RunUntil(offline.chip, {{0x30}, {}}, 480000, true);
    step("step", 0x30);

    // Zendra drives DBG as a driver would: 0 lets it run, bit 15 stops it.
    int32_t dbg = 0;
    ASSERT_EQ(ifGPRMemoryWrite(int32_t(kDbg), &dbg), 0);
    EXPECT_TRUE(Eventually([&] { return ReadChip()[kLfo] != uint32_t(stop.after); }))
        << "running again";
    dbg = int32_t(fx8010dbg::kSingleStep);
    ASSERT_EQ(ifGPRMemoryWrite(int32_t(kDbg), &dbg), 0);
    // Only a stopped chip carries out a step: once one is done, the stop holds.
    dbg = int32_t(fx8010dbg::kSingleStep | fx8010dbg::kStep);
    ASSERT_EQ(ifGPRMemoryWrite(int32_t(kDbg), &dbg), 0);
    EXPECT_TRUE(Eventually([] { return !(ReadChip()[kDbg] & fx8010dbg::kStep); }));
    chip = ReadChip();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ReadChip(), chip) << "stopped through Zendra";
    EXPECT_EQ(Ctl(dir, "continue").text, "running\n");
    EXPECT_TRUE(Eventually([&] { return ReadChip()[kLfo] != chip[kLfo]; })) << "continue moves it";
    EXPECT_EQ(Ctl(dir, "set 0x40 1").status, 1);
    EXPECT_EQ(Ctl(dir, "advance many").status, 2);

    // The recording holds the set from its sample on, as the offline run does.
    ASSERT_EQ(service.stop(), 0);
    Wav<int16_t> recorded = ReadPcm16Wav(wav);
    ASSERT_GE(recorded.frames(), int64_t(n));
    recorded.samples.resize(2 * n);
    offline.frames.resize(2 * n); // the verbs' samples after it: emuapsd_play_test
    EXPECT_TRUE(recorded.samples == offline.frames) << "the set is heard from sample " << k;
    Offline unset{*loaded.image, {}, {}};
    unset.RunTo(n);
    EXPECT_FALSE(unset.frames == recorded.samples) << "the set changes the sound";
}

// A reload through emuapsctl after the patch gained a static GPR before
// sinx: while its dump is the old one, the reload is refused as the start
// refuses that dump, and the chip keeps its names; with the new dump the
// answer and the log say what moved (the controls, placed after the
// statics), and the names follow.
TEST(EmuapsctlWalk, AReloadSaysWhatBecameOfTheNames) {
    TempDir dir;
    const std::string patch = dir.path() + "/p.emu10k1", dump = dir.path() + "/p.dbg",
                      source = dir.path() + "/p.asm";
    std::filesystem::copy_file(kImages + "demo-chorus-echo.emu10k1", patch);
    std::filesystem::copy_file(kImages + "demo-chorus-echo.dbg", dump);
    ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log",
                           {"--patch", patch, "--names", dump});
    ASSERT_TRUE(service.waitForLog("control at"));
    auto ctl = [&](const std::string& args) {
        const EmuapsctlSaid said = Ctl(dir, args);
        return std::to_string(said.status) + " " + said.text;
    };
    const std::string sed = "sed 's/^sinx\\t/extra\\tsta\\t0\\nsinx\\t/' " + kImages +
                            "demo-chorus-echo.asm > " + source;
    ASSERT_EQ(std::system((sed + " && as10k1 -o " + patch + " " + source + " >/dev/null").c_str()),
              0)
        << "as10k1 (alsa-tools) is needed";
    EXPECT_EQ(ctl("reload"), "1 emuapsctl: not reloaded: names: refused " + dump +
                                 ": it has 2 Static GPRs, the patch 3; the chip keeps its "
                                 "program and names\n");
    EXPECT_TRUE(ctl("get rate").starts_with("0 rate (0x123) = "));
    EXPECT_TRUE(service.waitForLog("keeping the current chip; names: refused " + dump));

    ASSERT_EQ(std::system(("as10k1 -d gti -o " + patch + " " + source + " > " + dump).c_str()), 0);
    const std::string moved = ctl("reload");
    EXPECT_TRUE(moved.starts_with("0 reloaded p.emu10k1: ") &&
                moved.find("; new extra; gone —; moved rate 0x123 -> 0x124, ") != std::string::npos)
        << moved;
    EXPECT_TRUE(service.waitForLog("since the last load: moved rate 0x123 -> 0x124, "));
    EXPECT_TRUE(ctl("get rate").starts_with("0 rate (0x124) = "));
}

// Zendra steps the stopped chip through DBG as Linux's driver does: 0x8000|a,
// then 0xC000|a. Each step is done soon after the write, with bit 14 set
// until then, and leaves the chip where the offline run's same step does;
// also while the runner is blocked on a sound device, here ALSA's file
// plugin writing into a pipe nobody reads.
TEST(EmuapsctlWalk, StepsWrittenToDbgAreDoneAtOnceAndExact) {
    using Clock = std::chrono::steady_clock;
    for (bool stalled : {false, true}) {
        SCOPED_TRACE(stalled ? "blocked on a sound device" : "by the clock");
        TempDir dir;
        const std::string pipe = dir.path() + "/pipe";
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        struct Held {
            int fd;
            ~Held() { close(fd); }
        } unread{open(pipe.c_str(), O_RDWR)};
        std::vector<std::string> args = {"--patch", kImages + "demo-chorus-echo.emu10k1", "--run"};
        if (stalled)
            args.push_back("--play=file:FILE=" + pipe + ",FORMAT=raw");
        ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log", args);
        ASSERT_TRUE(service.waitForLog("control at"));
        setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
        ASSERT_EQ(ifInitApsIo(), 0);
        ChipImageResult loaded =
            LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr);
        ASSERT_TRUE(loaded.image);
        Offline offline{*loaded.image, {}, {}};
        offline.RunTo(Number(Ctl(dir, "stop").text, "at sample"));

        std::vector<double> ms;
        std::vector<int> wrong; // the steps that left the chip otherwise
        for (int i = 0; i < 600; ++i) {
            const uint32_t a = offline.dsp.pc();
            const int32_t select = int32_t(fx8010dbg::kSingleStep | a);
            const int32_t step = select | int32_t(fx8010dbg::kStep);
            // Some time between steps, as a debugger reading the chip takes: a
            // chip that looks at DBG on a timer falls asleep meanwhile.
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            ASSERT_EQ(ifGPRMemoryWrite(int32_t(kDbg), &select), 0);
            const auto written = Clock::now();
            ASSERT_EQ(ifGPRMemoryWrite(int32_t(kDbg), &step), 0);
            int32_t dbg = step;
            while ((dbg & int32_t(fx8010dbg::kStep)) &&
                   Clock::now() - written < std::chrono::seconds(5))
                ASSERT_EQ(ifGPRMemoryRead(int32_t(kDbg), &dbg), 0);
            ASSERT_FALSE(dbg & int32_t(fx8010dbg::kStep)) << "step " << i << " was never done";
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - written).count());
            offline.chip.registers[kDbg] = uint32_t(step);
            offline.dsp.Run(offline.chip, 0);
            if (ReadChip() != offline.chip.registers) // DBG too
                wrong.push_back(i);
        }
        EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
        std::sort(ms.begin(), ms.end());
        EXPECT_LT(ms[ms.size() / 2], 5.0)
            << "the median step, in ms; the slowest took " << ms.back();
        if (stalled)
            service.crash(); // how a stalled device ends is not this test's
    }
}

} // namespace
