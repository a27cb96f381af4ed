// The history against the interpreter run offline: the demo chip with its
// patch, run by blocks, stopped at a break, stepped, advanced and set, then
// let run; each sample of every register the history keeps, traced through
// the verb to CSV and WAV, equals the offline run's, which sees the same
// host writes at the same samples and no stop at all.
#include "control_verbs.h"
#include "history_recorder.h"
#include "loaded_program.h"
#include "service_options.h"
#include "support/emuapsctl_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sndfile.h>
#include <sstream>

namespace {

constexpr uint32_t kCentre = 0x124; // the demo patch's chorus centre
const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";

ChipImage Demo() {
    return LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr)
        .image.value();
}

// Each row's numbers, after the header.
std::vector<std::vector<int64_t>> ReadCsv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<int64_t>> rows;
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with("sample")) {
            std::stringstream cells(line);
            rows.emplace_back();
            for (std::string cell; std::getline(cells, cell, ',');)
                rows.back().push_back(std::stoll(cell));
        }
    return rows;
}

TEST(HistoryTrace, EveryKeptRegisterEqualsTheOfflineRunAcrossAStopAnAdvanceAndASet) {
    const ChipImage demo = Demo();
    constexpr int64_t kHeld = 1800; // less than the span, so the ring wraps
    SimulatedChip chip;
    HistoryRecorder history(kHeld);
    chip.Observe(&history);
    chip.Load(demo);
    chip.Run(480);
    ASSERT_EQ(chip.RunUntil({{40}, {}}, 48).why, DebugStop::Why::Break);
    chip.Step(40);
    chip.Step(41);
    chip.Advance(300); // ends the stopped sample, then 299 whole ones
    const uint64_t setAt = chip.position().samples;
    chip.Write(kCentre, 0x7FFFFFFF); // far enough to saturate the chorus
    chip.Continue();
    for (int i = 0; i < 20; ++i)
        chip.Run(48);
    const uint64_t backAt = chip.position().samples; // set back, the saturations end
    chip.Write(kCentre, demo.registers[kCentre]);
    chip.Run(480);
    const uint64_t total = chip.position().samples;

    // The offline run's DSP view of each operand as each sample left it.
    Fx8010Interpreter offline;
    ChipImage image = demo;
    std::vector<std::array<int32_t, 0x300>> expected;
    std::vector<HistoryRecorder::Saturation> saturated;
    int32_t outputs[DspBlockIo::kOutputs];
    for (uint64_t n = 0; n < total; ++n) {
        if (n == setAt || n == backAt)
            image.registers[kCentre] = n == setAt ? 0x7FFFFFFF : demo.registers[kCentre];
        image.registers[fx8010dbg::kRegister] &= ~fx8010dbg::kSaturated;
        offline.Run(image, 1, {outputs});
        auto& seen = expected.emplace_back();
        for (uint32_t r = 0x100; r < 0x300; ++r)
            seen[r] = int32_t(image.registers[r] << (r >= 0x200 ? 12 : 0));
        std::copy_n(outputs, DspBlockIo::kOutputs, &seen[0x20]);
        const uint32_t dbg = image.registers[fx8010dbg::kRegister];
        seen[HistoryRecorder::kConditionCodes] = int32_t(fx8010dbg::Codes(dbg));
        if (n >= total - kHeld && fx8010dbg::SaturationAddress(dbg) >= 0)
            saturated.push_back({n, uint32_t(fx8010dbg::SaturationAddress(dbg))});
    }

    // What the DSP changed is kept; centre only the host writes.
    const std::vector<uint32_t> kept = history.Kept();
    int changed = 0;
    for (uint32_t reg = 0x20; reg < 0x300; reg = reg == 0x3F ? 0x100 : reg + 1)
        for (const auto& seen : expected)
            if (reg != kCentre && seen[reg] != expected[0][reg]) {
                EXPECT_TRUE(std::count(kept.begin(), kept.end(), reg)) << std::hex << reg;
                ++changed;
                break;
            }
    EXPECT_GT(changed, 10);

    TempDir dir;
    ControlContext context;
    context.chip = &chip;
    context.history = &history;
    std::string line = "trace";
    for (uint32_t reg : kept)
        line.append(" ").append(std::to_string(reg));
    ASSERT_EQ(RunControlVerb(context, line + " --to " + dir.path() + "/all.csv").status, 0);
    ASSERT_EQ(RunControlVerb(context, line + " --to " + dir.path() + "/all.wav").status, 0);
    SF_INFO info{};
    SNDFILE* file = sf_open((dir.path() + "/all.wav").c_str(), SFM_READ, &info);
    ASSERT_TRUE(file);
    std::vector<float> frames(std::size_t(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    const auto rows = ReadCsv(dir.path() + "/all.csv");
    ASSERT_EQ(rows.size(), std::size_t(kHeld));
    ASSERT_EQ(info.frames * info.channels, kHeld * int64_t(kept.size()));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const uint64_t n = total - kHeld + k;
        ASSERT_EQ(rows[k][0], int64_t(n));
        for (std::size_t c = 0; c < kept.size(); ++c) {
            const int32_t want = expected[n][kept[c]];
            ASSERT_EQ(rows[k][c + 1], kept[c] >= 0x200 ? want >> 12 : want) << n << " " << c;
            ASSERT_EQ(frames[k * kept.size() + c], float(double(want) / 2147483648.0));
        }
    }

    // Each sample's first saturation, as the debug register says it.
    EXPECT_EQ(history.Take({0x20}, -1).value().saturations, saturated);
    ASSERT_FALSE(saturated.empty());
    EXPECT_LT(saturated.back().sample, total - 1) << "some samples saturate no more";

    // A reload starts afresh.
    chip.Load(demo);
    chip.Run(7);
    EXPECT_EQ(history.Take({0x20}, -1)->held, 7);
    EXPECT_EQ(history.Take({0x20}, -1)->first, 0u);
}

TEST(HistoryOption, TakesSecondsFromNoneToWhatMemoryAllows) {
    const double most = MaxHistorySeconds();
    EXPECT_GT(most, 10);
    for (const std::string& bad : std::vector<std::string>{"-1", "-0.1", "abc", "", "nan", "inf",
                                                           "5s", std::to_string(most * 1.01)}) {
        const ParsedOptions parsed = ParseServiceOptions({"--history=" + bad});
        EXPECT_TRUE(parsed.mistake.starts_with("--history takes the seconds")) << bad;
    }
    for (const auto& [args, samples] : {std::pair{std::vector<std::string>{}, 480000},
                                        {{"--history", "0"}, 0},
                                        {{"--history", "2.5"}, 120000}})
        EXPECT_EQ(HistorySamples(ParseServiceOptions(args).options), samples);
}

// emuapsctl asks, the service writes: the front left output and the sweep's
// sine over the last 200 of 300 samples advanced, as the offline run has them.
TEST(HistoryTrace, EmuapsctlTracesThroughTheService) {
    TempDir dir;
    ServiceProcess service(dir.path(), kImages + "demo.chip", dir.path() + "/log",
                           {"--patch", kImages + "demo-chorus-echo.emu10k1", "--history=1"});
    ASSERT_TRUE(service.waitForLog("control at"));
    ASSERT_EQ(RunEmuapsctl(dir.path(), "advance 300").status, 0);
    const std::string csv = dir.path() + "/front.csv";
    EXPECT_EQ(RunEmuapsctl(dir.path(), "trace OUT_FRONT_L 0x121 --samples 200 --to " + csv).status,
              0);
    const std::string figures = RunEmuapsctl(dir.path(), "trace 0x121 --samples 200").text;
    EXPECT_TRUE(figures.starts_with("samples 100 to 299\n0x121: min ")) << figures;

    ChipImage image = Demo();
    Fx8010Interpreter offline;
    std::vector<std::vector<int64_t>> expected;
    int32_t outputs[DspBlockIo::kOutputs];
    for (int64_t n = 0; n < 300; ++n) {
        offline.Run(image, 1, {outputs});
        if (n >= 100)
            expected.push_back({n, outputs[0], int32_t(image.registers[0x121])});
    }
    EXPECT_EQ(ReadCsv(csv), expected);
}

} // namespace
