#include "chip_load.h"

#include <thread>
#include <unistd.h>

// Shared with the thread, so an abandoned load can finish after the object.
struct ChipLoad::State {
    ChipImageResult result;
    LoadedProgram loaded;
    std::atomic<bool> finished{false};
    std::thread thread;
};

ChipLoad::ChipLoad(Work work, int doneSignal) : state_(std::make_shared<State>()) {
    state_->thread = std::thread([state = state_, work = std::move(work), doneSignal] {
        state->result = work(&state->loaded);
        state->finished.store(true, std::memory_order_release);
        kill(getpid(), doneSignal);
    });
}

ChipLoad::~ChipLoad() {
    if (finished())
        state_->thread.join();
    else
        state_->thread.detach();
}

bool ChipLoad::finished() const {
    return state_->finished.load(std::memory_order_acquire);
}

const ChipImageResult& ChipLoad::result() const {
    return state_->result;
}

const LoadedProgram& ChipLoad::loaded() const {
    return state_->loaded;
}

LoadWait AwaitLoad(const ChipLoad& load, const sigset_t& set) {
    while (!load.finished()) {
        int sig = 0;
        if (sigwait(&set, &sig) == 0 && (sig == SIGINT || sig == SIGTERM))
            return LoadWait::Stop;
    }
    return LoadWait::Finished;
}
