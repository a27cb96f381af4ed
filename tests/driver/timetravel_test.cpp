// Going back in the simulated chip's past, through emuapsctl's verbs,
// against offline runs of the same program from its load with the reference
// engine: the demo patch, and a program whose two delay-line pools both
// carry feedback, a saturating sum and a SKIP that the saturation steers.
#include "control_verbs.h"
#include "demo_chip.h"
#include "hex_number.h"
#include "host_write.h"
#include "run_to.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

constexpr uint32_t kZero = 0x40, kHalf = 0x4D, kGain = 0x100, kSum = 0x101;
constexpr int64_t kInterval = 480, kSpan = 2400, kRun = 3000, kSetAt = 1700;
constexpr uint32_t kSetValue = 0x20000000;

ChipImage BothPools() {
    ChipImage chip = EmptyChipImage();
    auto put = [&](uint32_t i, Fx8010Fields f) {
        const Fx8010Words w = Fx8010PackInstruction(f);
        chip.registers[kMicrocodeBase + 2 * i] = w.low;
        chip.registers[kMicrocodeBase + 2 * i + 1] = w.high;
    };
    put(0, {fx8010::kMacs, 0x200, 0x00, 0x201, kHalf});  // internal line: in + fed back / 2
    put(1, {fx8010::kMacs, 0x280, 0x201, 0x281, kGain}); // external: the internal tap + feedback
    put(2, {fx8010::kAcc3, 0x020, 0x281, kZero, kZero});
    put(3, {fx8010::kMacints, kSum, kSum, 0x01, 0x42}); // sums input 1 twice: saturates
    put(4, {fx8010::kSkip, 0x102, 0x57, 0x10, 0x41});   // saturated: skip instruction 5
    put(5, {fx8010::kAcc3, 0x103, 0x103, 0x41, kZero});
    chip.registers[0x300] = TramEngine::kWrite | 0;
    chip.registers[0x301] = TramEngine::kRead | 100;
    chip.registers[0x380] = TramEngine::kWrite | 0;
    chip.registers[0x381] = TramEngine::kRead | 1000;
    chip.registers[kGain] = 0x60000000;
    return chip;
}

// The chip with a past, run kRun samples in blocks, kGain set at kSetAt.
struct Served {
    HistoryRecorder history{kSpan};
    SimulatedChip chip;
    ControlContext context;
    explicit Served(const ChipImage& image) {
        chip.Observe(&history);
        chip.KeepPast(kSpan, kInterval);
        chip.Load(image);
        context.chip = &chip;
        chip.Run(int(kSetAt));
        chip.Write(kGain, kSetValue);
        for (int64_t done = kSetAt; done < kRun; done += 48)
            chip.Run(48);
        chip.Stop();
    }
    std::string Ask(const std::string& line) { return RunControlVerb(context, line).text; }
};

// The same program run offline from its load, the write made at its sample.
struct Offline {
    ChipImage image;
    Fx8010Interpreter dsp;
    explicit Offline(const ChipImage& from) : image(from) {
        dsp.SetEngine(Fx8010Engine::kReference);
    }
    void To(ChipPosition at) {
        if (dsp.samples() < kSetAt && at.samples >= kSetAt) {
            RunTo(dsp, image, {kSetAt, 0});
            image.registers[kGain] = kSetValue;
        }
        RunTo(dsp, image, at);
    }
};

// "" when the chip stands exactly as the offline run, else what differs.
std::string Differences(SimulatedChip& chip, Offline& offline) {
    const ChipImage registers = chip.Snapshot();
    const std::unique_ptr<Fx8010Interpreter> dsp = chip.CopyDsp();
    std::string out;
    for (uint32_t i = 0; i < kChipRegisterCount; ++i) {
        const uint32_t control = i == fx8010dbg::kRegister ? fx8010dbg::kSingleStep : 0;
        if ((registers.registers[i] | control) != (offline.image.registers[i] | control))
            out += " register " + HexNumber(i, 3);
    }
    for (bool external : {false, true})
        if (dsp->tram().pool(external) != offline.dsp.tram().pool(external))
            out += external ? " external TRAM" : " internal TRAM";
    if (dsp->accumulator() != offline.dsp.accumulator() ||
        dsp->tram().counter() != offline.dsp.tram().counter())
        out += " accumulator or counter";
    if (PositionOf(*dsp) != PositionOf(offline.dsp))
        out += " position";
    return out;
}

struct Program {
    const char* name;
    ChipImage image;
};
std::vector<Program> Programs() {
    return {{"demo", DemoChipWithPatch()}, {"both pools", BothPools()}};
}

TEST(TimeTravel, EveryWayBackStandsAsAnOfflineRunToThere) {
    std::vector<std::string> wrong;
    for (const Program& program : Programs()) {
        Served served(program.image);
        const auto past = served.chip.past();
        ASSERT_TRUE(past);
        const uint64_t newest = past->newest.samples;
        const uint64_t boundary = newest / kInterval * kInterval;
        // Each row from the newest: a verb, and where it must leave the chip.
        struct Row {
            std::string verb;
            uint64_t samples;
        } rows[] = {{"back " + std::to_string(newest - past->oldest), past->oldest},
                    {"goto " + std::to_string(boundary), boundary},
                    {"goto " + std::to_string(boundary - 1), boundary - 1},
                    {"back 1", newest - 1},
                    {"goto " + std::to_string(kSetAt), kSetAt}};
        Offline offline(program.image);
        std::vector<std::pair<std::string, ChipPosition>> ordered;
        for (const Row& row : rows)
            ordered.push_back({row.verb, {row.samples, 0}});
        std::sort(ordered.begin(), ordered.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        for (const auto& [verb, at] : ordered) {
            served.Ask("goto " + std::to_string(newest));
            const std::string said = served.Ask(verb);
            offline.To(at);
            if (const std::string d = Differences(served.chip, offline); !d.empty())
                wrong.push_back(std::string(program.name) + ", " + verb + " (" + said + "):" + d);
        }
        // One instruction back, within a sample and across its start: where
        // two steps forward left the chip.
        served.Ask("goto " + std::to_string(newest - 1));
        served.Ask("step --count 2");
        const ChipPosition two = PositionOf(*served.chip.CopyDsp());
        served.Ask("step");
        const std::string within = served.Ask("step --back");
        Offline steps(program.image);
        steps.To(two);
        if (const std::string d = Differences(served.chip, steps); !d.empty())
            wrong.push_back(std::string(program.name) + ", step --back (" + within + "):" + d);
        while (PositionOf(*served.chip.CopyDsp()).pc != 0)
            if (served.Ask("step --back").rfind("stepped back", 0) != 0)
                break;
        const std::string across = served.Ask("step --back");
        const ChipPosition last = PositionOf(*served.chip.CopyDsp());
        Offline end(program.image);
        end.To({newest - 2, 0});
        DebugTargets all;
        for (uint32_t i = 0; i < uint32_t(kMicrocodeSize); ++i)
            all.breaks.push_back(i);
        ChipPosition lastPassed{};
        for (bool first = true; end.dsp.samples() == newest - 2; first = false) {
            end.dsp.RunUntil(end.image, all, 1, !first);
            if (end.dsp.samples() == newest - 2)
                lastPassed = PositionOf(end.dsp);
        }
        if (last != lastPassed)
            wrong.push_back(std::string(program.name) + ", step --back across a sample start (" +
                            across + ")");
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

TEST(TimeTravel, ForwardAgainReplaysThePastAndAWriteThereForksIt) {
    std::vector<std::string> wrong;
    for (const Program& program : Programs()) {
        Served served(program.image);
        const uint64_t newest = served.chip.past()->newest.samples;
        Offline offline(program.image);
        offline.To({newest, 0});
        // Back over the set and forward again: the set is made again.
        const int64_t held = served.history.held();
        served.Ask("back 1500");
        const std::string back = served.Ask("status");
        served.Ask("advance 1500");
        const std::string again = served.Ask("status");
        if (back.find("; at sample " + std::to_string(newest - 1500) +
                      ", 1500 samples before the newest") == std::string::npos ||
            again.find("before the newest") != std::string::npos)
            wrong.push_back(std::string(program.name) + ", status: " + back + " / " + again);
        if (served.history.held() != held)
            wrong.push_back(std::string(program.name) + ": the history did not keep its samples");
        if (const std::string d = Differences(served.chip, offline); !d.empty())
            wrong.push_back(std::string(program.name) + ", back and advance:" + d);
        // A set back there forks: the future runs on the new write.
        served.Ask("goto 2000");
        served.Ask("set 0x100 0x10000000");
        const auto past = served.chip.past();
        if (!past->fork || *past->fork != 2000 || past->newest.samples != 2000)
            wrong.push_back(std::string(program.name) + ": the fork is not at 2000");
        served.Ask("advance 700");
        // The new future, and the past kept of it.
        Offline forked(program.image);
        forked.To({2000, 0});
        forked.image.registers[kGain] = 0x10000000;
        for (auto [verb, at] : {std::pair{"goto 2300", 2300}, {"advance 400", 2700}}) {
            served.Ask(verb);
            forked.To({uint64_t(at), 0});
            if (const std::string d = Differences(served.chip, forked); !d.empty())
                wrong.push_back(std::string(program.name) + ", the fork, " + verb + ":" + d);
        }
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

TEST(TimeTravel, ReverseRunsStopWhereAnOfflineScanFindsTheLastStop) {
    Served served(BothPools());
    const uint64_t now = served.chip.past()->newest.samples;
    using Kind = DebugCondition::Kind;
    struct Row {
        std::string verb;
        DebugTargets targets;
    } rows[] = {
        {"watch 0x280 --back", {{}, {0x280}, {Kind::Changes, 0}, false}},
        {"watch 0x200 --back --above 0.25", {{}, {0x200}, {Kind::Above, 0x20000 << 12}, false}},
        {"watch 0x200 --back --below -0.25", {{}, {0x200}, {Kind::Below, -(0x20000 << 12)}, false}},
        {"watch 0x020 --back --equals 0", {{}, {0x020}, {Kind::Equals, 0}, false}},
        {"watch 0x020 --back --crosses 0", {{}, {0x020}, {Kind::Crosses, 0}, false}},
        {"break --saturation --back", {{}, {}, {}, true}},
        {"again: break --saturation --back", {{}, {}, {}, true}}, // from the last one's stop
    };
    std::vector<std::string> wrong;
    for (const Row& row : rows) {
        const bool again = row.verb.starts_with("again: ");
        if (!again)
            served.Ask("goto " + std::to_string(now));
        const ChipPosition from = PositionOf(*served.chip.CopyDsp());
        const std::string said = served.Ask(again ? row.verb.substr(7) : row.verb);
        // Offline: every stop forward from the load, the last before now.
        Offline offline(BothPools());
        std::optional<DebugStop> last;
        while (offline.dsp.samples() <= from.samples) {
            const uint64_t end = offline.dsp.samples() < kSetAt ? kSetAt : from.samples + 1;
            const DebugStop stop = offline.dsp.RunUntil(
                offline.image, row.targets, int64_t(end - offline.dsp.samples()), false);
            if (stop.why != DebugStop::Why::Bound && PositionOf(offline.dsp) < from)
                last = stop;
            if (PositionOf(offline.dsp) == ChipPosition{kSetAt, 0})
                offline.image.registers[kGain] = kSetValue;
        }
        const std::string expected = last ? "by instruction " + HexNumber(last->address, 3) +
                                                " in sample " + std::to_string(last->sample)
                                          : "no ";
        if (said.find(expected) == std::string::npos)
            wrong.push_back(row.verb + ": '" + said + "', not " + expected);
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

// A bus that counts its frames into every input.
struct Ramp : BusSource {
    int32_t frames = 0;
    void Read(int32_t* bus, int count) override {
        for (int i = 0; i < count; ++i, ++frames)
            for (int k = 0; k < kBusInputs; ++k)
                bus[i * kBusInputs + k] = (frames * 7919 + k) << 12;
    }
};

TEST(TimeTravel, AFedBusHearsItsFramesAgainAndThenTheLiveOnes) {
    Ramp ramp;
    SimulatedChip chip;
    chip.KeepPast(kSpan, kInterval);
    chip.Load(BothPools());
    chip.FeedBus(&ramp);
    for (int i = 0; i < 40; ++i)
        chip.Run(48);
    chip.Stop();
    const ChipImage before = chip.Snapshot();
    const auto pools = chip.CopyDsp()->tram();
    ASSERT_TRUE(chip.GoTo({chip.position().samples - 1000, 0}));
    chip.Advance(1000);
    EXPECT_EQ(chip.Snapshot(), before);
    EXPECT_EQ(chip.CopyDsp()->tram().pool(true), pools.pool(true));
    chip.Advance(1);
    EXPECT_EQ(ramp.frames, 40 * 48 + 1) << "the live bus goes on past the recording's end";
}

// A host that writes from a thread of its own, as a slider or another
// client does: all the while at the newest, and once, at a random moment,
// while the chip replays its past (that write forks it). Each write is made
// again where the chip took it, so going back to the oldest and forward
// again arrives where it stood.
TEST(TimeTravel, WritesFromAnotherThreadAreMadeAgainWhereTheChipTookThem) {
    std::mt19937 random(11);
    for (const Program& program : Programs())
        for (const int trials : {1, 24}) {
            const bool replaying = trials > 1;
            for (int trial = 0; trial < trials; ++trial) {
                SimulatedChip chip;
                chip.KeepPast(kSpan, kInterval);
                chip.Load(program.image);
                if (replaying) {
                    for (int i = 0; i < 40; ++i)
                        chip.Run(48);
                    ASSERT_TRUE(chip.GoTo({chip.position().samples - 1500, 0}));
                    chip.Continue();
                }
                const ApsChipPorts ports = chip.Ports();
                const auto wait = std::chrono::microseconds(random() % 400);
                std::atomic<bool> done{false};
                std::thread host([&] {
                    if (replaying) {
                        std::this_thread::sleep_for(wait);
                        ApsHostWrite(ports.registers, kGain, 0x12345678);
                    }
                    for (uint32_t v = 1; !replaying && !done.load(std::memory_order_relaxed); ++v)
                        ApsHostWrite(ports.registers, kGain, v * 0x9E3779B9u);
                });
                for (int i = 0; i < 40; ++i)
                    chip.Run(48);
                done = true;
                host.join();
                chip.Stop();
                Offline stood(program.image);
                stood.image = chip.Snapshot();
                stood.dsp = *chip.CopyDsp();
                // Rebuilt from the states kept, and replayed from the oldest.
                const auto past = chip.past();
                ASSERT_TRUE(chip.GoTo({past->oldest, 0}));
                ASSERT_TRUE(chip.GoTo(past->newest));
                const std::string rebuilt = Differences(chip, stood);
                ASSERT_TRUE(chip.GoTo({past->oldest, 0}));
                chip.Advance(int64_t(past->newest.samples - past->oldest));
                ASSERT_EQ(rebuilt + Differences(chip, stood), "")
                    << program.name << (replaying ? ", replaying, trial " : ", trial ") << trial;
            }
        }
}

// A step of another instruction than the next leaves the path a replay
// follows: the past begins after it, and holds exactly what came after.
TEST(TimeTravel, AStepOutOfProgramOrderBeginsThePastAfterIt) {
    for (const Program& program : Programs()) {
        Served served(program.image);
        const uint64_t leapt = served.chip.position().samples;
        const std::string said = served.Ask("step 3");
        served.Ask("advance 600");
        Offline stood(program.image);
        stood.image = served.chip.Snapshot();
        stood.dsp = *served.chip.CopyDsp();
        const auto past = served.chip.past();
        EXPECT_EQ(past->oldest, leapt + 1) << program.name;
        EXPECT_NE(said.find("; the past begins here"), said.npos) << said;
        ASSERT_TRUE(served.chip.GoTo({past->oldest, 0}));
        served.chip.Advance(int64_t(past->newest.samples - past->oldest));
        EXPECT_EQ(Differences(served.chip, stood), "") << program.name;
    }
}

// A chip without a past (--history=0) and a real card say why they cannot go back.
TEST(TimeTravel, WithoutAPastTheVerbsSaySo) {
    SimulatedChip chip;
    ControlContext context;
    context.chip = &chip;
    std::vector<std::string> wrong;
    for (const char* verb :
         {"back", "goto 0", "step --back", "watch 0x100 --back", "break --saturation --back"}) {
        context.chip = &chip;
        const ControlAnswer none = RunControlVerb(context, verb);
        context.chip = nullptr;
        const ControlAnswer card = RunControlVerb(context, verb);
        if (none.text != "the chip keeps no past to go back in (emuapsd --history=0)" ||
            card.text.find("a real card keeps no history; ") != 0 || none.status != 1)
            wrong.push_back(std::string(verb) + ": " + none.text + " / " + card.text);
    }
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

} // namespace
