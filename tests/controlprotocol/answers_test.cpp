// Each answer's one parser: what the service writes reads back as it was;
// every other text, however close, is refused, and nothing is read past it.
#include "answer_frame.h"
#include "card_refusal.h"
#include "controls_answer.h"
#include "samples_answer.h"
#include "status_answer.h"
#include "tram_answer.h"

#include <gtest/gtest.h>

namespace {

TEST(Answers, WhatTheServiceWritesReadsBackAndAnythingElseIsRefused) {
    SamplesHeader h{95990, 10, 2, 3, 96000, "stopped", 0x1C, 80};
    EXPECT_EQ(ParseSamplesHeader(SamplesHeaderText(h)), h);
    StatusAnswer s{"running a client's 'watch wl; x'",
                   72960,
                   0x24,
                   0x0C,
                   4,
                   "demo.chip; echo.emu10k1",
                   1.5,
                   {"playing, 0 underruns"}};
    EXPECT_EQ(ParseStatus(StatusText(s)), s) << StatusText(s);
    const std::vector<ControlInfo> controls = {{"fb", 0x106, 0x3FFFFFFF, 0, 0x73333332}};
    EXPECT_EQ(ParseControls(ControlsText(controls)), controls);
    EXPECT_EQ(ParseControls(ControlsText({})), std::vector<ControlInfo>());

    const char* const samples[] = {
        "samples 0 10 of 2; load 1; at 10; running; no saturation; bytes 79", // lies by a byte
        "samples 0 10 of 2; load 1; at 10; running; no saturation; bytes 18446744073709551615",
        "samples 0 131073 of 1; load 1; at 0; running; no saturation; bytes 524292", // too many
        "samples 0 1 of 5; load 1; at 1; running; no saturation; bytes 20",
        "samples 0 1 of -1; load 1; at 1; running; no saturation; bytes 0",
        "samples 0 1 of 1; load 1; at 1; asleep; no saturation; bytes 4",
        "samples 0 1 of 1; load 1; at 1; running; saturated at 0x200; bytes 4",
        "samples 0 1 of 1; load x; at 1; running; no saturation; bytes 4",
        "samples 0 1 of 1; load 1; at 1; running; no saturation",
        "samples 0 1 of 1; load 1; at 1; running; no saturation; bytes 4; more",
        "",
    };
    for (const char* text : samples)
        EXPECT_EQ(ParseSamplesHeader(text), std::nullopt) << text;
    const char* const statuses[] = {
        "running; 9 samples; step address 0x000; codes 0x00; no saturation; loaded x",
        "running; 9 samples; step address 0x200; codes 0x00; no saturation; loaded x; 1.00x "
        "real time",
        "running; 9 samples; step address 0x000; codes 0x20; no saturation; loaded x; 1.00x "
        "real time",
        "running; 9 samples; step address 0x000; codes 0x04 (zero); no saturation; loaded x; "
        "1.00x real time", // the names must be the bits'
        "running; 9 samples; step address 0x000; codes 0x00; saturated at 0x200; loaded x; "
        "1.00x real time",
        "running; -9 samples; step address 0x000; codes 0x00; no saturation; loaded x; 1.00x "
        "real time",
        "running; 9 samples; step address 0x000; codes 0x00; no saturation; x; 1.00x real time",
        "running; 9 samples; step address 0x000; codes 0x00; no saturation; loaded x; nanx "
        "real time",
        "9 samples",
        "",
        // The past's clauses close it, and name the sample its count names.
        "stopped; 9 samples; step address 0x000; codes 0x00; no saturation; loaded x; 0.00x real "
        "time; at sample 8, 1 sample before the newest",
        "stopped; 9 samples; step address 0x000; codes 0x00; no saturation; loaded x; 0.00x real "
        "time; at sample 9, 2 sample before the newest",
        "stopped; 9 samples; step address 0x000; codes 0x00; no saturation; loaded x; 0.00x real "
        "time; forked at sample 0x1",
    };
    for (const char* text : statuses)
        EXPECT_EQ(ParseStatus(text), std::nullopt) << text;
    const char* const controlTexts[] = {"2 controls; fb 0x106 0x1 0x0 0x2",
                                        "1 controls; fb 0x106 0x1 0x0",
                                        "1 controls; fb 0x106 0x1 0x0 0x100000000",
                                        "1 controls; fb 0x106 0x1 0x0 0x2; wl 0x1 0x1 0x1 0x1",
                                        "controls",
                                        ""};
    for (const char* text : controlTexts)
        EXPECT_EQ(ParseControls(text), std::nullopt) << text;
}

// Where the chip stands in its past reads back with whatever else it says.
TEST(Answers, AStatusInItsPastReadsBack) {
    const struct {
        std::optional<uint64_t> behind, forkedAt;
        std::vector<std::string> more;
    } rows[] = {
        {{}, {}, {}}, {2400, {}, {"next instruction 0x005"}}, {{}, 1200, {}}, {1, 0, {"x"}}};
    for (const auto& r : rows) {
        const StatusAnswer s{"stopped", 96000, 5, 0, -1, "x", 0, r.more, r.behind, r.forkedAt};
        EXPECT_EQ(ParseStatus(StatusText(s)), s) << StatusText(s);
    }
}

TEST(Answers, AnAnswersLineAndTheBytesItAnnounces) {
    EXPECT_EQ(AnswerFrame(1, "two\nlines\r", "xy"), "1 two lines \nxy");
    const struct {
        const char* line;
        std::optional<int> status;
        const char* text;
    } lines[] = {
        {"0 running\n", 0, "running"}, {"2 \n", 2, ""},        {"1 no\n", 1, "no"},
        {"3 running\n", {}, ""},       {"0running\n", {}, ""}, {"0 running", {}, ""},
        {"0 a\nb\n", {}, ""},          {"\n", {}, ""},         {"", {}, ""},
    };
    for (const auto& row : lines) {
        const std::optional<AnswerLine> got = ParseAnswerLine(row.line);
        EXPECT_EQ(got.has_value(), row.status.has_value()) << row.line;
        if (got && row.status) {
            EXPECT_EQ(got->status, *row.status) << row.line;
            EXPECT_EQ(got->text, row.text) << row.line;
        }
    }
    EXPECT_EQ(AnswerPayloadBytes("samples ...; bytes 80"), 80u);
    EXPECT_EQ(AnswerPayloadBytes("bytes 80"), 0u) << "a clause of its own";
    EXPECT_EQ(AnswerPayloadBytes("x; bytes 8O"), 0u);
    EXPECT_EQ(AnswerPayloadBytes("x; bytes 99999999999999999999999"), 0u);
    EXPECT_TRUE(IsCardRefusal(CardRefusal("set")));
    EXPECT_TRUE(IsCardRefusal(CardRefusal("trace")));
    EXPECT_FALSE(IsCardRefusal("no register is called a real card"));
}

} // namespace

TEST(Answers, TramAnswersReadBackAndNothingOutsideThePoolOrItsBytes) {
    const TramHeader h{true, 16800, 3, 0x20000};
    const std::vector<int16_t> samples = {-32768, 0x1234, -1};
    ASSERT_EQ(ParseTramHeader(TramHeaderText(h)), h) << TramHeaderText(h);
    EXPECT_EQ(TramSamples(h, TramPayload(samples)), samples);
    EXPECT_EQ(TramSamples(h, TramPayload(samples) + "x"), std::vector<int16_t>());
    for (const char* bad : {"tram external 16800 3 of 131072; bytes 5",    // the bytes lie
                            "tram external 131070 3 of 131072; bytes 6",   // past the pool
                            "tram internal 0 65537 of 70000; bytes 131074", // too many
                            "tram middle 0 1 of 8192; bytes 2", "tram internal 0 1 of 8192",
                            "tram internal 0 1 8192; bytes 2", "tram internal x 1 of 8192; bytes 2",
                            "tram internal 0 1 of 8192; bytes 2; more", ""})
        EXPECT_FALSE(ParseTramHeader(bad)) << bad;
}
