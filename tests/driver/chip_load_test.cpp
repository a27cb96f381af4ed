// The service loads a chip beside the thread that takes its signals: SIGTERM
// during a load that never comes back still ends the wait at once, and a load
// that finishes hands over its chip.
#include "chip_load.h"

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

} // namespace
