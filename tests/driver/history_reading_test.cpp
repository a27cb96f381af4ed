// Reading the history while the chip runs on: a copy holds the DSP up for a
// piece at a time, a read gives the samples it took whatever the DSP does
// between its pieces, and a trace takes no more than it says.
#include "counting_chip.h"
#include "samples_answer.h"
#include "support/eventually.h"
#include "trace_verb.h"
#include "verb_words.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// " 256 257 ...": the first n GPRs as a request's words.
std::string Gprs(uint32_t n) {
    std::string words;
    for (uint32_t reg = 0x100; reg < 0x100 + n; ++reg)
        words.append(" ").append(std::to_string(reg));
    return words;
}

TEST(HistoryReading, ACopyHoldsTheDspUpForAPieceAtATimeAndItRunsOnMeanwhile) {
    CountingService c(4800, 4800);
    std::atomic<uint64_t> due = 0;
    std::atomic<bool> done = false;
    std::thread dsp([&] {
        while (!done)
            if (c.chip.position().samples < due)
                c.chip.Run(1);
            else
                std::this_thread::yield();
    });
    std::size_t pieces = 0, largest = 0;
    c.history.SetPieceHook([&](std::size_t values) {
        ++pieces;
        largest = std::max(largest, values);
        due = c.chip.position().samples + 10;
        EXPECT_TRUE(Eventually([&] { return c.chip.position().samples >= due; }));
    });
    const ControlAnswer answer = RunControlVerb(c.context, "trace" + Gprs(64) + " --samples 2400");
    done = true;
    dsp.join();
    // The samples before the trace began, however far the DSP ran on.
    EXPECT_TRUE(answer.text.starts_with("samples 2400 to 4799; 0x100: ")) << answer.text;
    EXPECT_GT(pieces, 3u);
    EXPECT_LE(largest, HistoryRecorder::kPieceValues);
}

// The hook runs the DSP before every piece, or reloads it before the second.
TEST(HistoryReading, ASamplesAnswerHoldsTheBytesItsLineCountsWhateverTheDspDoesMeanwhile) {
    const struct {
        int ran, runEachPiece;
        bool reload;
        int status;
        const char* text;
        int64_t count;
    } rows[] = {
        {0, 5, false, 0, "samples 0 0 of 4;", 0},
        {48000, 100, false, 0, "samples 0 48000 of 4;", 48000},
        {48000, 7000, false, 1, "the chip overwrote the oldest samples asked for", 0},
        {48000, 1, true, 1, "the chip was reloaded meanwhile; ask again", 0},
    };
    for (const auto& row : rows) {
        CountingService c(48000, row.ran);
        int pieces = 0;
        c.history.SetPieceHook([&](std::size_t) {
            if (row.reload && ++pieces == 2)
                c.chip.Load(CountingChip());
            c.chip.Run(row.runEachPiece);
        });
        const ControlAnswer answer = RunControlVerb(c.context, "samples 0 256 257 258 259");
        EXPECT_EQ(answer.status, row.status) << answer.text;
        EXPECT_TRUE(answer.text.starts_with(row.text)) << answer.text;
        const std::optional<SamplesHeader> h = ParseSamplesHeader(answer.text);
        if (row.status != 0 || !h) {
            EXPECT_EQ(answer.payload, "") << answer.text;
            continue;
        }
        EXPECT_EQ(answer.payload.size(), h->bytes) << answer.text;
        const auto columns = SamplesColumns(*h, answer.payload);
        ASSERT_EQ(columns.size(), 4u) << answer.text;
        for (uint32_t c = 0; c < 4; ++c)
            for (int64_t k = 0; k < h->count; ++k)
                ASSERT_EQ(columns[c][std::size_t(k)], Counted(0x100 + c, h->first + uint64_t(k)));
    }
}

TEST(HistoryReading, ATraceTakesNoMoreValuesThanItsBoundAndSaysSo) {
    CountingService c(4800, 4800);
    EXPECT_TRUE(TraceVerb(&c.history, RequestWords("trace 256 257 258 259"), {}, 1000)
                    .text.starts_with("4 registers take at most 250 samples, 1000 values a trace: "
                                      "samples 4550 to 4799; 0x100: "));
}

} // namespace
