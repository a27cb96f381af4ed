#pragma once

#include <chrono>
#include <thread>

// The DSP runs on its own thread by the clock; on a loaded machine its next
// block can be late by far more than a fixed sleep. Poll for what must come,
// and give up only after a limit no healthy run reaches.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto giveUp = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
