#include "card_refusal.h"
#include "control_text.h"
#include "full_scale.h"
#include "min_max.h"
#include "register_choice.h"
#include "register_names.h"
#include "sample_cursor.h"
#include "scope_command_line.h"
#include "scope_model.h"
#include "service_state.h"
#include "slider_scale.h"
#include "status_answer.h"
#include "sweep_axis.h"
#include "time_bases.h"
#include "trace_choice.h"
#include "trace_samples.h"
#include "trace_verb.h"
#include "trigger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

namespace {

MinMax Direct(const std::vector<int32_t>& v, std::size_t from, std::size_t to) {
    const auto [lo, hi] = std::minmax_element(v.begin() + long(from), v.begin() + long(to));
    return {*lo, *hi};
}

} // namespace

TEST(ScopeData, ASpikeOfOneSampleShowsInItsColumnAtEveryDensity) {
    struct Row {
        int64_t n;
        int columns;
        int64_t at;
        int32_t spike;
    } rows[] = {{48000, 640, 0, 1 << 30},     {48000, 640, 47999, -(1 << 30)},
                {48000, 640, 12345, 1 << 30}, {96000, 1, 50000, -(1 << 30)},
                {100, 640, 37, 1 << 30},      {641, 640, 640, 1 << 30}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.n << " samples in " << r.columns << " at " << r.at);
        std::vector<int32_t> v(std::size_t(r.n), 1000);
        v[std::size_t(r.at)] = r.spike;
        const std::vector<MinMax> cols = DecimateMinMax(v.data(), r.n, r.columns);
        ASSERT_EQ(int(cols.size()), r.columns);
        int holding = 0;
        for (int c = 0; c < r.columns; ++c) {
            const bool covers = ColumnStart(r.n, r.columns, c) <= r.at &&
                                r.at < std::max(ColumnStart(r.n, r.columns, c + 1),
                                                ColumnStart(r.n, r.columns, c) + 1);
            const int32_t seen = r.spike > 0 ? cols[std::size_t(c)].max : cols[std::size_t(c)].min;
            EXPECT_EQ(seen == r.spike, covers) << "column " << c;
            holding += seen == r.spike;
        }
        EXPECT_GE(holding, 1);
    }
}

// On a ramp each sample's value is its offset: the column drawn at a pixel
// says which samples it holds.
TEST(ScopeData, APixelAndTheSampleUnderItAgreeWithTheColumnDrawnThere) {
    for (auto [n, width] : {std::pair{960, 640}, {640, 640}, {48, 640}, {7, 3}, {1, 5}}) {
        std::vector<int32_t> ramp(static_cast<std::size_t>(n));
        std::iota(ramp.begin(), ramp.end(), 0);
        const std::vector<MinMax> drawn = DecimateMinMax(ramp.data(), n, width);
        const ScopeFrame f{1000, 1000 + uint64_t(n), false, {}};
        for (int x = 0; x < width; ++x)
            EXPECT_EQ(SampleAtX(f, width, x), 1000 + drawn[std::size_t(x)].min) << n << " " << x;
        for (int k = -1; k <= n; ++k) {
            const std::optional<int> x = XOfSample(f, width, uint64_t(1000 + k));
            ASSERT_EQ(x.has_value(), k >= 0 && k < n) << n << " " << k;
            EXPECT_EQ(SideOfSweep(f, uint64_t(1000 + k)), k < 0 ? -1 : k < n ? 0 : 1);
            EXPECT_TRUE(!x || (drawn[std::size_t(*x)].min <= k && k <= drawn[std::size_t(*x)].max))
                << n << " " << k;
        }
    }
}

// Appended in uneven pieces, older segments dropped: every span, at every
// scale's edges, aligned and not, gives what a direct search gives.
TEST(ScopeData, EnvelopesAgreeWithADirectMinMaxAtEveryScale) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    std::vector<int32_t> v(300000);
    for (int32_t& x : v)
        x = any(random);
    TraceSamples trace(150000);
    trace.restart(1000);
    for (std::size_t i = 0; i < v.size();) {
        const std::size_t n = std::min<std::size_t>(v.size() - i, 1 + random() % 7000);
        trace.append(v.data() + i, int64_t(n));
        i += n;
    }
    ASSERT_EQ(trace.end(), 1000 + v.size());
    ASSERT_GE(trace.end() - trace.begin(), 150000u);
    ASSERT_LT(trace.begin(), trace.end() - 150000 + TraceSamples::kSegmentSamples);
    const uint64_t base = trace.begin();
    for (uint64_t length : {1, 15, 16, 17, 255, 256, 257, 4095, 4096, 4097, 65536, 65537, 150000})
        for (uint64_t offset : {0, 1, 16, 255, 4096, 4097}) {
            const uint64_t from = base + offset, to = std::min(from + length, trace.end());
            const std::size_t i = std::size_t(from - 1000), j = std::size_t(to - 1000);
            EXPECT_EQ(trace.span(from, to), Direct(v, i, j)) << length << " from +" << offset;
            EXPECT_EQ(trace.at(from), v[i]);
            EXPECT_EQ(trace.columns(from, to, 333),
                      DecimateMinMax(v.data() + i, int64_t(j - i), 333));
        }
    EXPECT_TRUE(trace.columns(base - 1, base + 10, 10).empty()) << "not held";
}

// The sample a sweep triggers at is the first after the sine's own crossing
// of the level, computed from the sine: within one sample, sweep after sweep.
TEST(ScopeData, TheTriggerFindsTheSamePhaseOfASineSweepAfterSweep) {
    struct Row {
        double hz, level;
        Edge edge;
    } rows[] = {{1000, 0, Edge::Rising},
                {1000, 0.25, Edge::Rising},
                {997, -0.3, Edge::Falling},
                {61.5, 0.4, Edge::Falling}};
    constexpr double kRate = 48000, kAmplitude = 0.5 * 2147483648.0;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.hz << " Hz through " << r.level);
        Trigger trigger;
        trigger.configure({r.edge, int32_t(r.level * 2147483648.0), TriggerMode::Normal});
        TraceSamples trace;
        trace.restart(0);
        const double w = 2 * std::numbers::pi * r.hz / kRate;
        const double phase = std::asin(r.level / 0.5); // rising crossing's phase
        const uint64_t width = 960;
        int64_t n = 0;
        for (int sweep = 0; sweep < 100; ++sweep) {
            std::vector<int32_t> block(1600);
            for (int32_t& x : block)
                x = int32_t(std::lround(kAmplitude * std::sin(w * double(n++))));
            trace.append(block.data(), int64_t(block.size()));
            const auto s = trigger.choose(trace, width);
            ASSERT_TRUE(s && s->triggered) << "sweep " << sweep;
            const double t = double(s->from + width / Trigger::kPreTriggerDivisor);
            // The crossing's time in periods, its phase for the edge.
            const double edgePhase = r.edge == Edge::Rising ? phase : std::numbers::pi - phase;
            // A sample that rounds onto the level may lie a hair before the crossing.
            const double k = std::floor((w * (t + 1e-3) - edgePhase) / (2 * std::numbers::pi));
            const double crossing = (edgePhase + 2 * std::numbers::pi * k) / w;
            EXPECT_GT(crossing, t - 1) << "sweep " << sweep;
            EXPECT_LE(crossing, t + 1e-3) << "sweep " << sweep;
            EXPECT_LE(s->from + width, trace.end());
        }
    }
}

TEST(ScopeData, TheModesWithoutATriggerAndSingleHolding) {
    TraceSamples flat;
    flat.restart(0);
    std::vector<int32_t> zeros(5000, 0);
    flat.append(zeros.data(), 5000);
    Trigger t;
    t.configure({Edge::Rising, 100, TriggerMode::Auto});
    const auto free = t.choose(flat, 1000);
    ASSERT_TRUE(free);
    EXPECT_EQ(free->from, 4000u);
    EXPECT_FALSE(free->triggered);
    t.configure({Edge::Rising, 100, TriggerMode::Normal});
    EXPECT_FALSE(t.choose(flat, 1000));
    t.configure({Edge::Rising, 100, TriggerMode::Single});
    std::vector<int32_t> step(3000, 200);
    flat.append(step.data(), 3000);
    const auto first = t.choose(flat, 1000);
    ASSERT_TRUE(first && first->triggered);
    EXPECT_EQ(first->from, 5000u - 100);
    flat.append(zeros.data(), 2000);
    flat.append(step.data(), 3000);
    const auto held = t.choose(flat, 1000);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->from, first->from) << "single holds its first trigger";
    t.rearm();
    EXPECT_EQ(t.choose(flat, 1000)->from, 5000u + 3000 + 2000 - 100);
}

TEST(ScopeData, WhatEachAnswerMeansForTheSamplesHeldOverReloads) {
    struct Row {
        const char* what;
        uint64_t first;
        int64_t count;
        uint64_t load, at;
        bool restart;
        int64_t skip;
        uint64_t fromAfter;
    } rows[] = {
        {"the first answer", 500, 100, 1, 600, true, 0, 600},
        {"the next samples", 600, 50, 1, 650, false, 0, 650},
        {"nothing new", 650, 0, 1, 650, false, 0, 650},
        {"some asked twice", 640, 30, 1, 670, false, 10, 670},
        {"a reload", 0, 40, 2, 40, true, 0, 40},
        {"samples lost between", 90, 10, 2, 100, true, 0, 100},
        {"the history went back", 20, 30, 2, 50, true, 0, 50},
        {"stopped, none since a gap", 60, 0, 2, 60, true, 0, 60},
    };
    SampleCursor cursor;
    EXPECT_EQ(cursor.from(), 0u);
    for (const Row& r : rows) {
        SamplesHeader h;
        h.first = r.first, h.count = r.count, h.load = r.load, h.at = r.at;
        const CursorStep step = cursor.take(h);
        EXPECT_EQ(step.restart, r.restart) << r.what;
        EXPECT_EQ(step.skip, r.skip) << r.what;
        EXPECT_EQ(cursor.from(), r.fromAfter) << r.what;
    }
    cursor.reset();
    EXPECT_EQ(cursor.from(), 0u);
}

TEST(ScopeData, SliderPositionsRoundTripBetweenThePatchsMinAndMax) {
    const std::pair<uint32_t, uint32_t> ranges[] = {{0, 0x73333333},
                                                    {0x80000000, 0x7FFFFFFF},
                                                    {0x7FFFFFFF, 0},
                                                    {0xC0000000, 0xF0000000},
                                                    {0, 7}};
    for (auto [min, max] : ranges) {
        const ControlRange r = RangeOf(min, max);
        SCOPED_TRACE(testing::Message() << r.min << " to " << r.max);
        EXPECT_LE(r.min, r.max);
        const bool wide = double(r.max) - r.min >= kSliderSteps;
        for (int p = 0; wide && p <= kSliderSteps; ++p)
            ASSERT_EQ(SliderPosition(SliderValue(p, r), r), p);
        EXPECT_EQ(SliderValue(0, r), r.min);
        EXPECT_EQ(SliderValue(kSliderSteps, r), r.max);
        EXPECT_EQ(SliderValue(-5, r), r.min);
        EXPECT_EQ(SliderPosition(INT32_MIN, r), 0) << "clamped";
        EXPECT_EQ(SliderPosition(INT32_MAX, r), kSliderSteps) << "clamped";
        const double step = (double(r.max) - r.min) / kSliderSteps;
        for (int32_t v :
             {r.min, r.max, int32_t(r.min / 2 + r.max / 2), int32_t(r.min / 3 + r.max / 3 * 2)})
            EXPECT_LE(std::abs(double(SliderValue(SliderPosition(v, r), r)) - v), step / 2 + 1);
    }
}

TEST(ScopeData, RegistersByNameOrHexAndTheServicesWords) {
    const std::map<std::string, uint32_t> names = {{"fb", 0x106}, {"wl", 0x280}, {"far", 0x1000}};
    const std::pair<const char*, std::optional<uint32_t>> registers[] = {
        {"fb", 0x106}, {"wl", 0x280}, {"0x20", 0x20}, {"1ff", 0x1FF}, {"FB", 0xFB},
        {"0x400", {}}, {"far", {}},   {"", {}},       {"0x", {}},     {"g1", {}}};
    for (const auto& [text, address] : registers)
        EXPECT_EQ(RegisterOf(text, names), address) << text;
    StatusAnswer saturated;
    saturated.state = "running", saturated.samples = 9, saturated.saturatedAt = 4;
    saturated.loaded = "x";
    EXPECT_EQ(SaturationIn(StatusText(saturated)), 4);
    EXPECT_EQ(SaturationIn("running; no saturation"), -1);
    const Attachment a = Attachment::Attached, g = Attachment::Gone, n = Attachment::None;
    const ControlReply unreachable{
        1, "cannot reach emuapsd at /x", {}, ControlTrouble::kUnreachable};
    EXPECT_EQ(AttachmentOf(unreachable, Attachment::Unknown), n);
    EXPECT_EQ(AttachmentOf(unreachable, a), g);
    EXPECT_EQ(AttachmentOf({1, "emuapsd did not answer", {}, ControlTrouble::kSilent}, a),
              Attachment::Silent);
    EXPECT_EQ(AttachmentOf(unreachable, Attachment::Silent), g);
    EXPECT_EQ(AttachmentOf({0, "running"}, g), a);
    EXPECT_EQ(AttachmentOf({1, CardRefusal("samples")}, a), Attachment::Card);
    EXPECT_EQ(AttachmentOf({1, "wl is not kept"}, a), a) << "a refusal is an answer";
}

namespace {

SamplesHeader Header(uint64_t first, int64_t count, int registers, const char* state = "running") {
    SamplesHeader h;
    h.first = first, h.count = count, h.registers = registers, h.load = 1;
    h.at = first + uint64_t(count), h.state = state;
    return h;
}

} // namespace

// An answer is drawn only if it answers the request the model asks now.
TEST(ScopeData, TheModelTakesOnlyTheAnswerToTheRequestItAsksNow) {
    const std::vector<uint32_t> ab = {0x100, 0x101}, ba = {0x101, 0x100}, ac = {0x100, 0x102};
    const struct {
        const char* what;
        std::vector<uint32_t> now;
        bool askedEarlier; // before the model's last answer
    } rows[] = {{"the request asked now", ab, false},
                {"asked before the order changed", ba, false},
                {"asked before a register changed", ac, false},
                {"asked before the last answer", ab, true}};
    for (const auto& r : rows) {
        ScopeModel model;
        model.setRegisters(ab);
        std::string asked = model.request();
        const std::vector<int32_t> five(5, 3), ten(10, 7);
        ASSERT_TRUE(model.take(asked, Header(0, 5, 2), {five, five}).taken);
        asked = r.askedEarlier ? asked : model.request();
        model.setRegisters(r.now);
        const bool taken = model.take(asked, Header(5, 10, 2), {ten, ten}).taken;
        EXPECT_EQ(taken, r.what == rows[0].what) << r.what;
        EXPECT_EQ(model.trace(0).end(), taken ? 15u : r.now == ab ? 5u : 0u) << r.what;
    }
}

TEST(ScopeData, AFrozenSingleSweepSaysWhereItTriggered) {
    ScopeModel model;
    model.setRegisters({0x100});
    model.setTrigger(0, {Edge::Rising, 100, TriggerMode::Single});
    std::vector<int32_t> step(5000, 0);
    std::fill(step.begin() + 3000, step.end(), 200); // the edge: sample 3000
    for (const char* state : {"running", "stopped"}) {
        model.startOver();
        ASSERT_TRUE(model.take(model.request(), Header(0, 5000, 1, state), {step}).taken);
        ASSERT_TRUE(model.frame(1000, 100).triggered);
        EXPECT_EQ(model.stateText(),
                  *state == 'r' ? "triggered at sample 3000 (single): Arm waits for the next"
                                : "stopped at sample 5000")
            << "the chip's own stand first";
    }
}

// What a trace says of its box is what the service says of the same word.
TEST(ScopeData, ATraceNamesItsRegisterOrSaysWhyInTheServicesWords) {
    const std::map<std::string, uint32_t> placed = {{"mono", 0x100}, {"lw", 0x280}};
    const RegisterNames service({}, {{"mono", 0x100}, {"lw", 0x280}});
    for (const char* word : {"mono", "lw", "monoo", "0x020", "0x3FF"}) {
        std::string why;
        const auto address = service.Find(word, RegisterSpace::Operands, &why);
        EXPECT_EQ(ChooseTrace(word, placed, true), (TraceChoice{address, why})) << word;
    }
    EXPECT_EQ(ChooseTrace("0x400", placed, true).problem,
              "0x400 is not a register the DSP sees: they go from 0x000 to 0x3FF");
    EXPECT_EQ(ChooseTrace("mono", {}, false), TraceChoice{}) << "names not yet known";
    // The service's refusals, by its own text, name the trace they are about.
    const std::vector<uint32_t> traces = {0x100, 0x000, 0x050, 0x280};
    for (std::size_t i = 0; i < traces.size(); ++i)
        EXPECT_EQ(RefusedRegister(HistoryLeavesOut(traces[i], service), traces), int(i));
    EXPECT_EQ(RefusedRegister("the chip was reloaded meanwhile; ask again", traces), -1);
    EXPECT_EQ(RefusedRegister("0x100 and 0x280", traces), -1) << "two, so none";
}

// Each end read back is its value within half the last decimal, and the
// width keeps three significant digits, no more.
TEST(ScopeData, AControlsRangeTextTellsItsEndsApart) {
    const std::pair<uint32_t, uint32_t> ranges[] = {{0, 0xC0000},         {0x80000000, 0x7FFFFFFF},
                                                    {0, 0x73333333},      {0, 1},
                                                    {0x418937, 0x418A37}, {0xFFF00000, 0x100000}};
    for (auto [min, max] : ranges) {
        const ControlRange range = RangeOf(min, max);
        const std::string text = RangeText(range);
        const std::size_t to = text.find(" to ");
        const double low = std::stod(text), high = std::stod(text.substr(to + 4));
        const double unit = std::pow(10.0, -RangeDecimals(range)), width = high - low;
        EXPECT_LE(std::abs(low - Fraction(range.min)), unit / 2) << text;
        EXPECT_LE(std::abs(high - Fraction(range.max)), unit / 2) << text;
        EXPECT_TRUE(width >= 100 * unit || unit < 1e-9) << text;
        EXPECT_TRUE(width < 1000 * unit || unit == 1e-3) << text;
    }
    EXPECT_EQ(RangeText(RangeOf(0, 0xC0000)), "0.000000 to 0.000366") << "the demo's depth";
}

TEST(ScopeData, TheCommandLineRefusesWhatTheScopeCannotShow) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--trace", "mono", "--trace=lw", "--spectrum", "4", "-platform", "offscreen"}, ""},
        {{"--time-base", "5000"},
         "--time-base takes 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000 or 2000 (ms), not '5000'"},
        {{"--spectrum", "7"}, "--spectrum takes a trace from 1 to 4, not '7'"},
        {{"--trace", "a", "--trace", "b", "--trace", "c", "--trace", "d", "--trace", "e"},
         "--trace is given more than 4 times"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"mono"}, "'mono' is not an option"}};
    for (auto [args, mistake] : rows) {
        args.insert(args.begin(), "velmora-scope");
        const ScopeCommandLine line = ParseScopeCommandLine(args);
        EXPECT_EQ(line.action == ScopeCommandLine::Action::Mistake, !mistake.empty()) << args[1];
        EXPECT_EQ(line.mistake.rfind(mistake, 0), 0u) << line.mistake;
    }
    for (double ms : kTimeBasesMs) // each the bar offers
        EXPECT_EQ(
            ParseScopeCommandLine({"s", "--time-base", std::to_string(ms)}).options.timeBaseMs, ms);
    EXPECT_EQ(ParseScopeCommandLine({"s", "-platform", "x", "-reverse"}).options.qtArguments,
              (std::vector<std::string>{"s", "-platform", "x", "-reverse"}));
}
