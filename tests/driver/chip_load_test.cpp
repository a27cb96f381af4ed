// The service loads a chip beside the thread that takes its signals: SIGTERM
// during a load that never comes back still ends the wait at once, and a load
// that finishes hands over its chip.
#include "chip_load.h"
#include "names_note.h"
#include "reload_verdict.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <unistd.h>

namespace {

sigset_t ServiceSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGHUP, SIGTERM, SIGINT, SIGUSR1})
        sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

TEST(ChipLoad, SigtermDuringALoadThatHangsEndsTheWaitAtOnce) {
    const sigset_t set = ServiceSignals();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto load = std::make_unique<ChipLoad>(
        [released](LoadedProgram*) {
            released.wait();
            return ChipImageResult{};
        },
        SIGUSR1);
    kill(getpid(), SIGHUP); // taken and dropped: a load is under way
    std::thread terminate([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(getpid(), SIGTERM);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AwaitLoad(*load, set), LoadWait::Stop);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(load->finished());
    terminate.join();
    load.reset(); // abandoned where it stands
    release.set_value();
}

TEST(ChipLoad, AFinishedLoadHandsOverItsChipAndSummary) {
    const sigset_t set = ServiceSignals();
    ChipLoad load(
        [](LoadedProgram* loaded) {
            ChipImageResult result;
            result.image = ChipImage{};
            result.image->registers[0x100] = 42;
            loaded->summary = "placed";
            return result;
        },
        SIGUSR1);
    EXPECT_EQ(AwaitLoad(load, set), LoadWait::Finished);
    ASSERT_TRUE(load.result().image);
    EXPECT_EQ(load.result().image->registers[0x100], 42u);
    EXPECT_EQ(load.loaded().summary, "placed");
}

// A reload over the demo as it started (demo.chip, its patch and dump):
// taken when its dump fits, saying what moved (on an empty chip the patch's
// GPRs start at 0x100, on demo.chip at 0x11A); refused whole, as the start
// refuses the dump, when it does not; and where names would come from.
TEST(ChipLoad, AReloadSaysWhatMovedOrKeepsTheProgramWhoseDumpNoLongerFits) {
    TempDir dir;
    const std::string images = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
    const std::string chip = images + "demo.chip", patch = images + "demo-chorus-echo.emu10k1",
                      dump = images + "demo-chorus-echo.dbg", gone = dir.path() + "/gone";
    const std::string asm_ = images + "demo-chorus-echo.asm"; // no dump at all
    LoadedProgram start;
    ASSERT_TRUE(LoadChipWithPatch(chip, patch, dump, &start).image);
    const std::string keeps = "; the chip keeps its program and names";
    const std::string rows[][3] = {
        // clang-format off
        {chip, dump, "loaded; every name stays where it was"},
        {"", dump, "loaded; moved left 0x11A -> 0x100, left.o 0x11B -> 0x101, "},
        {chip, asm_, "not reloaded: names: refused " + asm_ + ": it is not an as10k1 dump (no \"Patch name:\" line)" + keeps},
        {gone, dump, "not reloaded: " + gone + ": "},
        // clang-format on
    };
    for (const auto& [image, names, answer] : rows) {
        LoadedProgram program;
        const ChipImageResult loaded = LoadChipWithPatch(image, patch, names, &program);
        const ReloadVerdict verdict = JudgeReload(names, loaded, program, start.names);
        EXPECT_EQ(verdict.taken, answer.starts_with("loaded")) << verdict.answer;
        EXPECT_TRUE(verdict.answer.starts_with(answer)) << verdict.answer;
    }
    EXPECT_EQ(NamesMovedText({{"a", 0x100, ""}, {"b", 0x101, ""}}, {{"a", 0x102, ""}}),
              "moved a 0x100 -> 0x102; gone b 0x101");
    EXPECT_EQ(NamesNote(patch, "", {}, ""), "names come with --names DUMP");
    EXPECT_EQ(NamesNote(patch, dump, start, ""), "");
}

} // namespace
