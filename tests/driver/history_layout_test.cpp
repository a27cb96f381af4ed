// Where the history takes its memory: outside the chip's lock, the old ring
// given back before the next is taken, with what it costs in the log; a ring
// that cannot be had is said in the log and by trace and samples, while the
// DSP runs on.
#include "counting_chip.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

namespace {

TEST(HistoryLayOut, TakesOneRingAtATimeAndSaysWhatItCostsOrWhyNot) {
    const struct {
        int64_t samples;
        bool fails;
        std::string said;
    } rows[] = {
        {4800, false, "the history takes 5 MiB for 0.1 s of 257 registers"},
        {480000, false,
         "the history takes 548 MiB for 10 s of 257 registers, a large part of memory; emuapsd "
         "--history=SECONDS keeps less"},
        {480000, true, "the history is off: cannot take 548 MiB for 10 s of 257 registers"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> log;
        int rings = 0;
        SimulatedChip chip;
        HistoryRecorder history(row.samples, [&](const std::string& line) { log.push_back(line); });
        history.SetAllocate([&](std::size_t values) -> HistoryRecorder::Ring {
            EXPECT_EQ(rings, 0) << "two rings at once";
            EXPECT_EQ(history.bytes(), 0u);
            // Untouched pages cost nothing: a large ring for a few samples.
            const std::size_t bytes = values * sizeof(int32_t);
            void* ring = row.fails ? MAP_FAILED
                                   : mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (ring == MAP_FAILED)
                return {nullptr, {}};
            ++rings;
            return {static_cast<int32_t*>(ring), [&, bytes](int32_t* p) {
                        --rings;
                        munmap(p, bytes);
                    }};
        });
        chip.Observe(&history);
        chip.Load(CountingChip());
        EXPECT_EQ(chip.Run(3), 3); // with its history or without
        EXPECT_EQ(log, std::vector<std::string>{row.said});
        ControlContext context;
        context.chip = &chip;
        context.history = &history;
        for (const char* request : {"trace 256", "samples 0 256"}) {
            const ControlAnswer answer = RunControlVerb(context, request);
            EXPECT_EQ(answer.status, row.fails ? 1 : 0) << request;
            EXPECT_TRUE(answer.text.starts_with(row.fails ? row.said : "samples 0 "))
                << answer.text;
        }
        chip.Load(CountingChip(0x80)); // another program, another ring
        EXPECT_EQ(chip.Run(3), 3);
        EXPECT_EQ(log.size(), 2u);
        chip.Unobserve(&history);
    }
}

} // namespace
