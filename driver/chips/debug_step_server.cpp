#include "debug_step_server.h"

namespace {
// Only a wake lost to the destructor waits this long.
constexpr std::chrono::milliseconds kLongestWait(50);
} // namespace

DebugStepServer::DebugStepServer(SimulatedChip& chip) : chip_(chip) {
    thread_ = std::thread([this] {
        while (!stop_.load())
            chip_.ServeDebugRegister(kLongestWait, stop_);
    });
}

DebugStepServer::~DebugStepServer() {
    stop_ = true;
    chip_.WakeDebugWaiter();
    thread_.join();
}
