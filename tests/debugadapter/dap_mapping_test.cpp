// The adapter's words against the service's own: the requests it writes
// read back through the protocol's parsers as meant, the answers the
// service formats read back as the values they hold, and real stop answers
// as the stops they tell of.
#include "control_verbs.h"
#include "dap_mapping.h"
#include "verb_words.h"

#include <climits>
#include <gtest/gtest.h>

TEST(DapMapping, ConditionsBecomeWatchOptionsTheServiceReadsBack) {
    const struct {
        const char* text;
        const char* option; // "" for any change; nullptr for a refusal
        const char* value;
    } rows[] = {
        {"> 0.9", "--above", "0.9"},
        {"<-0.5", "--below", "-0.5"},
        {"== 0x100", "--equals", "0x100"},
        {"  crosses 0 ", "--crosses", "0"},
        {"", "", ""},
        {"= 1", nullptr, ""},
        {">", nullptr, ""},
        {"> 1 2", nullptr, ""},
        {"above 0.5", nullptr, ""},
    };
    for (const auto& row : rows) {
        std::string why;
        const auto c = ParseDataCondition(row.text, &why);
        ASSERT_EQ(c.has_value(), row.option != nullptr) << row.text;
        if (!c) {
            EXPECT_NE(why.find("condition"), std::string::npos) << row.text;
            continue;
        }
        EXPECT_EQ(*c, (WatchCondition{row.option, row.value})) << row.text;
        EXPECT_EQ(ParseDataCondition(DataConditionText(*c), &why), c) << row.text;
        // The service's own reading of the request the adapter writes.
        std::vector<std::string> words = RequestWords(WatchRequest("wl", *c, 2));
        std::string option, value, mistake;
        int64_t samples = 0;
        ASSERT_TRUE(TakeValueCondition(words, &option, &value, &mistake)) << mistake;
        ASSERT_TRUE(TakeRunBound(words, &samples, &mistake)) << mistake;
        EXPECT_EQ(option, row.option) << row.text;
        EXPECT_EQ(value, row.value) << row.text;
        EXPECT_EQ(samples, 2 * kVerbSampleRate) << row.text;
        EXPECT_EQ(words, (std::vector<std::string>{"watch", "wl"})) << row.text;
    }
    std::vector<std::string> words = RequestWords(BreakRequest({0x26, 0x1FF}, true, 0.5));
    int64_t samples = 0;
    std::string mistake;
    EXPECT_TRUE(TakeFlag(words, "--saturation"));
    EXPECT_TRUE(TakeRunBound(words, &samples, &mistake));
    EXPECT_EQ(samples, kVerbSampleRate / 2);
    uint32_t a = 0, b = 0;
    ASSERT_EQ(words.size(), 3u);
    EXPECT_TRUE(ParseRegister(words[1], &a) && ParseRegister(words[2], &b));
    EXPECT_EQ(a, 0x26u);
    EXPECT_EQ(b, 0x1FFu);
}

TEST(DapMapping, GetAnswersTheServiceFormatsReadBackAsTheirValues) {
    const struct {
        const char* label;
        uint32_t reg;
        uint32_t value;
        const char* fraction;
    } rows[] = {
        {"fb (0x120)", 0x120, 0x40000000, "0.5"},      {"0x121", 0x121, 0x80000000, "-1"},
        {"wl (0x284)", 0x284, 0xC0000, "-0.5"}, // a TRAM sample: 20 bits
        {"DBG (0x052)", 0x052, 0x8001, "1.52593e-05"}, {"x.o (0x3FF)", 0x3FF, 0, "0"},
    };
    std::string answer;
    for (const auto& row : rows)
        answer += (answer.empty() ? "" : "; ") + std::string(row.label) + " = " +
                  ValueText(row.reg, row.value);
    const auto values = ParseGetAnswer(answer);
    ASSERT_TRUE(values) << answer;
    ASSERT_EQ(values->size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const RegisterValue& v = (*values)[i];
        EXPECT_EQ(v.address, rows[i].reg) << rows[i].label;
        EXPECT_EQ(v.word, rows[i].value) << rows[i].label;
        EXPECT_EQ(ValueShown(v, false), rows[i].fraction) << rows[i].label;
        // The hex form carries what the service wrote, and set takes the shown value back.
        EXPECT_EQ(ValueShown(v, true),
                  std::string(rows[i].fraction) + " (" +
                      ValueText(rows[i].reg, rows[i].value)
                          .substr(0, ValueText(rows[i].reg, rows[i].value).find(' ')) +
                      " " + std::to_string(v.integer) + ")")
            << rows[i].label;
        uint32_t back = 0;
        EXPECT_EQ(ParseRegisterValue(SetValueWord(ValueShown(v, true) + "\t"), rows[i].reg, &back),
                  "");
        EXPECT_EQ(back, rows[i].value) << rows[i].label;
    }
    // An output's sampled value reads as get's answer of the same word would.
    for (int32_t sampled : {0, -1, INT32_MIN, INT32_MAX, 0x40000000, 12345}) {
        const auto got = ParseGetAnswer("OUT (0x020) = " + ValueText(0x120, uint32_t(sampled)));
        ASSERT_TRUE(got);
        EXPECT_EQ(SampledValue("OUT", 0x020, sampled), (*got)[0]) << sampled;
    }
    uint32_t word = 0;
    EXPECT_EQ(ParseRegisterValue(SetValueWord("0x7"), 0x120, &word), "");
    EXPECT_EQ(word, 7u);
    for (const char* bad :
         {"", "fb = 0x1 1", "fb (0x120 = 0x1 1 0.1", "fb (0x120) = 0x1 1 0.1 x",
          "fb (zz) = 0x1 1 0.1", "no register is called q", "fb (0x120) = q 1 0.1"})
        EXPECT_FALSE(ParseGetAnswer(bad)) << bad;
}

TEST(DapMapping, StopAnswersTellTheirStopAndWhereTheChipStands) {
    const struct {
        int status;
        const char* text;
        StopReason reason;
        AnsweredPosition at;
    } rows[] = {
        {0,
         "break at instruction 0x002 in sample 82080; stopped at sample 82080 before instruction "
         "0x002",
         StopReason::kBreakpoint,
         {82080, 2}},
        {0,
         "wl (0x284) above 0x00000: 0x000139D3 -> 0x00012F5D by instruction 0x028 in sample 82080; "
         "stopped at sample 82080 before instruction 0x029",
         StopReason::kDataBreakpoint,
         {82080, 0x29}},
        {0,
         "saturation by instruction 0x02C in sample 48077: R OUT_FRONT_L (0x020) = 0x80000000 "
         "-2147483648 -1; stopped at sample 48077 before instruction 0x02D",
         StopReason::kException,
         {48077, 0x2D}},
        {1,
         "no instruction saturated in 48000 samples; stopped at sample 130080",
         StopReason::kNone,
         {130080, 0}},
        {1,
         "no break was reached and no instruction saturated in 96000 samples; stopped at sample 7",
         StopReason::kNone,
         {7, 0}},
        {1,
         "break ended after 12 samples (another client's stop); stopped at sample 19 before "
         "instruction 0x1FF",
         StopReason::kPause,
         {19, 0x1FF}},
        {1, "another client's 'advance 5' runs the chip; stop ends it", StopReason::kPause, {}},
    };
    for (const auto& row : rows) {
        const StopSaid said = ParseStopAnswer(row.status, row.text);
        EXPECT_EQ(said.reason, row.reason) << row.text;
        EXPECT_EQ(said.text.find("; stopped at"), std::string::npos) << row.text;
        const auto at = ParsePosition(row.text);
        EXPECT_EQ(at.value_or(AnsweredPosition{}), row.at) << row.text;
    }
    EXPECT_EQ(std::string(StopReasonWord(StopReason::kDataBreakpoint)), "data breakpoint");
}

TEST(DapMapping, InstructionReferencesNameOneOfTheChipsInstructions) {
    const struct {
        const char* reference;
        int64_t offset;
        int64_t address; // -1: refused
    } rows[] = {{"0x000", 0, 0},   {"0x1FF", 0, 0x1FF}, {"0x1FF", 1, -1},
                {"0x010", -16, 0}, {"0x010", -17, -1},  {"37", 1, 38},
                {"0x200", 0, -1},  {"wl", 0, -1},       {"", 0, -1}};
    for (const auto& row : rows) {
        std::string why;
        const auto a = ParseInstructionReference(row.reference, row.offset, &why);
        EXPECT_EQ(a ? int64_t(*a) : -1, row.address) << row.reference << " + " << row.offset;
        EXPECT_EQ(why.empty(), bool(a)) << row.reference;
        if (a) {
            EXPECT_EQ(ParseInstructionReference(InstructionReference(*a), 0, &why), a);
        }
    }
}

TEST(DapMapping, MemoryBytesAreThePoolsSamplesAndNothingPastThem) {
    const struct {
        int64_t offset, count;
        PoolSpan span;
    } rows[] = {
        {0, 4, {0, 2, 0, 4}},   {3, 4, {1, 3, 1, 4}},  {3, 3, {1, 2, 1, 3}},
        {14, 10, {7, 1, 0, 2}}, {15, 1, {7, 1, 1, 1}}, {16, 4, {0, 0, 0, 0}},
        {-2, 4, {0, 1, 0, 2}},  {0, -1, {0, 0, 0, 0}}, {0, 1000, {0, 8, 0, 16}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PoolBytes(row.offset, row.count, 8), row.span) << row.offset << " " << row.count;
    EXPECT_EQ(PoolOfRegister(0x27F), std::optional<std::string>(kInternalPool));
    EXPECT_EQ(PoolOfRegister(0x380), std::optional<std::string>(kExternalPool));
    for (uint32_t none : {0x1FFu, 0x2A0u, 0x3A0u, 0x400u})
        EXPECT_FALSE(PoolOfRegister(none)) << none;
    EXPECT_EQ(PoolOfReference(kExternalPool), std::optional<bool>(true));
    EXPECT_FALSE(PoolOfReference("0x000"));
}
