// The history against the interpreter run offline: the demo chip with its
// patch, run by blocks, stopped at a break, stepped, advanced and set, then
// let run; each sample of every register the history keeps, traced through
// the verb to CSV and WAV, equals the offline run's, which sees the same
// host write at the same sample and no stop at all.
#include "control_verbs.h"
#include "history_recorder.h"
#include "patch_placement.h"
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

// What the offline run leaves, sample by sample: the host's view of each operand.
struct OfflineSample {
    std::array<uint32_t, 0x400> seen{};
    int saturatedAt = -1;
};

OfflineSample Seen(const ChipImage& chip, const int32_t* outputs) {
    OfflineSample s;
    for (uint32_t r = 0x100; r < 0x300; ++r)
        s.seen[r] = chip.registers[r];
    for (uint32_t r = 0; r < 32; ++r)
        s.seen[0x20 + r] = uint32_t(outputs[r]);
    const uint32_t dbg = chip.registers[fx8010dbg::kRegister];
    s.seen[HistoryRecorder::kConditionCodes] = fx8010dbg::Codes(dbg);
    s.saturatedAt = fx8010dbg::SaturationAddress(dbg);
    return s;
}

std::vector<std::vector<int64_t>> ReadCsv(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // the header
    std::vector<std::vector<int64_t>> rows;
    while (std::getline(in, line)) {
        std::stringstream cells(line);
        std::vector<int64_t>& row = rows.emplace_back();
        for (std::string cell; std::getline(cells, cell, ',');)
            row.push_back(std::stoll(cell));
    }
    return rows;
}

TEST(HistoryTrace, EveryKeptRegisterEqualsTheOfflineRunAcrossAStopAnAdvanceAndASet) {
    ChipImageResult loaded =
        LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr);
    ASSERT_TRUE(loaded.image);
    constexpr int64_t kHeld = 1800; // less than the span, so the ring wraps
    SimulatedChip chip;
    HistoryRecorder history(kHeld);
    chip.Observe(&history);
    chip.Load(*loaded.image);

    for (int i = 0; i < 10; ++i)
        chip.Run(48);
    ASSERT_EQ(chip.RunUntil({{40}, {}}, 48).why, DebugStop::Why::Break);
    chip.Step(40);
    chip.Step(41);
    chip.Advance(300); // ends the stopped sample, then 299 whole ones
    const uint64_t setAt = chip.position().samples;
    ASSERT_EQ(setAt, 780u);
    chip.Write(kCentre, 0x7FFFFFFF); // far enough to saturate the chorus
    chip.Continue();
    for (int i = 0; i < 20; ++i)
        chip.Run(48);
    // Put back, the saturations end: each sample's are its own.
    const uint64_t backAt = chip.position().samples;
    const uint32_t centre = loaded.image->registers[kCentre];
    chip.Write(kCentre, centre);
    for (int i = 0; i < 10; ++i)
        chip.Run(48);
    const uint64_t total = chip.position().samples;

    Fx8010Interpreter offline;
    ChipImage image = *loaded.image;
    std::vector<OfflineSample> expected;
    int32_t outputs[DspBlockIo::kOutputs];
    while (offline.samples() < total) {
        if (offline.samples() == setAt)
            image.registers[kCentre] = 0x7FFFFFFF;
        if (offline.samples() == backAt)
            image.registers[kCentre] = centre;
        image.registers[fx8010dbg::kRegister] &= ~fx8010dbg::kSaturated;
        offline.Run(image, 1, {outputs});
        expected.push_back(Seen(image, outputs));
    }

    const std::vector<uint32_t> kept = history.Kept();
    std::vector<uint32_t> changed;
    for (uint32_t r : {0x20u, 0x100u, 0x200u})
        for (uint32_t reg = r; reg < (r == 0x20 ? 0x40u : r + 0x100); ++reg)
            for (const OfflineSample& s : expected)
                if (reg != kCentre && s.seen[reg] != expected[0].seen[reg]) {
                    changed.push_back(reg);
                    break;
                }
    // What the DSP changed is kept; centre only the host writes.
    for (uint32_t reg : changed)
        EXPECT_TRUE(std::count(kept.begin(), kept.end(), reg)) << "0x" << std::hex << reg;
    EXPECT_GT(changed.size(), 10u);

    TempDir dir;
    ControlContext context;
    context.chip = &chip;
    context.history = &history;
    std::string line = "trace";
    for (uint32_t reg : kept)
        line += " " + std::to_string(reg);
    const ControlAnswer csv = RunControlVerb(context, line + " --to " + dir.path() + "/all.csv");
    ASSERT_EQ(csv.status, 0) << csv.text;
    EXPECT_NE(csv.text.find("samples " + std::to_string(total - kHeld) + " to " +
                            std::to_string(total - 1)),
              std::string::npos)
        << csv.text;
    const auto rows = ReadCsv(dir.path() + "/all.csv");
    ASSERT_EQ(rows.size(), std::size_t(kHeld));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const OfflineSample& s = expected[total - kHeld + k];
        ASSERT_EQ(rows[k][0], int64_t(total - kHeld + k));
        for (std::size_t c = 0; c < kept.size(); ++c) {
            const uint32_t reg = kept[c];
            const int64_t want = reg >= 0x200 ? int64_t(int32_t(s.seen[reg] << 12) >> 12)
                                              : int64_t(int32_t(s.seen[reg]));
            ASSERT_EQ(rows[k][c + 1], want) << "sample " << rows[k][0] << " 0x" << std::hex << reg;
        }
    }

    const ControlAnswer wav = RunControlVerb(context, line + " --to " + dir.path() + "/all.wav");
    ASSERT_EQ(wav.status, 0) << wav.text;
    SF_INFO info{};
    SNDFILE* file = sf_open((dir.path() + "/all.wav").c_str(), SFM_READ, &info);
    ASSERT_TRUE(file);
    std::vector<float> frames(std::size_t(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    ASSERT_EQ(info.channels, int(kept.size()));
    ASSERT_EQ(info.frames, kHeld);
    for (std::size_t k = 0; k < std::size_t(kHeld); ++k)
        for (std::size_t c = 0; c < kept.size(); ++c) {
            const uint32_t raw = expected[total - kHeld + k].seen[kept[c]];
            const int32_t dsp = int32_t(kept[c] >= 0x200 ? raw << 12 : raw);
            ASSERT_EQ(frames[k * kept.size() + c], float(double(dsp) / 2147483648.0));
        }

    // The saturations, each the first of its sample, as the debug register says.
    std::vector<HistoryRecorder::Saturation> saturated;
    for (uint64_t sample = total - kHeld; sample < total; ++sample)
        if (expected[sample].saturatedAt >= 0)
            saturated.push_back({sample, uint32_t(expected[sample].saturatedAt)});
    const auto span = history.Take({0x20}, -1);
    ASSERT_TRUE(span);
    ASSERT_FALSE(saturated.empty());
    EXPECT_LT(saturated.back().sample, total - 1) << "some samples saturate no more";
    ASSERT_EQ(span->saturations.size(), saturated.size());
    for (std::size_t i = 0; i < saturated.size(); ++i) {
        EXPECT_EQ(span->saturations[i].sample, saturated[i].sample);
        EXPECT_EQ(span->saturations[i].instruction, saturated[i].instruction);
    }

    // More than is held gives what there is and says so; a reload starts afresh.
    const ControlAnswer more = RunControlVerb(context, "trace 0x20 --last 60");
    EXPECT_EQ(more.status, 0);
    EXPECT_NE(more.text.find("asked for 2880000 samples, the history holds 1800"),
              std::string::npos)
        << more.text;
    chip.Load(*loaded.image);
    chip.Run(7);
    EXPECT_EQ(history.Take({0x20}, -1)->held, 7);
    EXPECT_EQ(history.Take({0x20}, -1)->first, 0u);
}

TEST(HistoryOption, TakesSecondsFromNoneToWhatMemoryAllows) {
    EXPECT_EQ(HistorySamples(ParseServiceOptions({}).options), 480000);
    for (const std::string bad : {"-1", "-0.1", "abc", "", "nan", "inf", "1e9", "5s"}) {
        const ParsedOptions parsed = ParseServiceOptions({"--history=" + bad});
        EXPECT_EQ(parsed.action, ParsedOptions::Action::Mistake) << bad;
        EXPECT_TRUE(parsed.mistake.starts_with("--history takes the seconds")) << parsed.mistake;
    }
    const double most = MaxHistorySeconds();
    EXPECT_GT(most, 10);
    EXPECT_EQ(ParseServiceOptions({"--history", std::to_string(most * 1.01)}).action,
              ParsedOptions::Action::Mistake);
    for (const auto& [text, samples] : {std::pair{"0", 0}, {"2.5", 120000}}) {
        const ParsedOptions parsed = ParseServiceOptions({"--history", text});
        ASSERT_EQ(parsed.action, ParsedOptions::Action::Serve) << text << parsed.mistake;
        EXPECT_EQ(HistorySamples(parsed.options), samples);
    }
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
    const EmuapsctlSaid said =
        RunEmuapsctl(dir.path(), "trace OUT_FRONT_L 0x121 --samples 200 --to " + csv);
    EXPECT_EQ(said.status, 0) << said.text;
    const EmuapsctlSaid figures = RunEmuapsctl(dir.path(), "trace 0x121 --samples 200");
    EXPECT_TRUE(figures.text.starts_with("samples 100 to 299\n0x121") ||
                figures.text.starts_with("samples 100 to 299\nsinx (0x121)"))
        << figures.text;

    ChipImageResult loaded =
        LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr);
    ASSERT_TRUE(loaded.image);
    Fx8010Interpreter offline;
    std::vector<std::vector<int64_t>> expected;
    int32_t outputs[DspBlockIo::kOutputs];
    for (uint64_t n = 0; n < 300; ++n) {
        offline.Run(*loaded.image, 1, {outputs});
        if (n >= 100)
            expected.push_back({int64_t(n), outputs[0], int32_t(loaded.image->registers[0x121])});
    }
    EXPECT_EQ(ReadCsv(csv), expected);
}

} // namespace
