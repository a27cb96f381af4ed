// The simulated chip's mutex. A debugging run takes it for one slice after
// another; a plain mutex would go straight back to it, and a request that
// waits (status, a reload, the real-time runner) could wait for the whole
// run. Between its slices the run lets those that wait have it first.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class ChipLock {
  public:
    void lock() {
        waiting_.fetch_add(1, std::memory_order_relaxed);
        mutex_.lock();
        waiting_.fetch_sub(1, std::memory_order_relaxed);
    }
    void unlock() { mutex_.unlock(); }
    // For the real-time thread, which plays the held outputs rather than
    // wait long for a chip that a verb holds.
    template <class Rep, class Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& wait) {
        waiting_.fetch_add(1, std::memory_order_relaxed);
        const bool got = mutex_.try_lock_for(wait);
        waiting_.fetch_sub(1, std::memory_order_relaxed);
        return got;
    }
    // Called without the lock: returns once those that waited have had it,
    // or after a millisecond when others keep coming.
    void LetWaitersIn() {
        if (waiting_.load(std::memory_order_relaxed) == 0)
            return;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
        while (waiting_.load(std::memory_order_relaxed) > 0 &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
    }

  private:
    std::timed_mutex mutex_;
    std::atomic<int> waiting_ = 0;
};
