// The turn to move the chip, which clients running verbs at once share: one
// verb that runs it (continue, step, advance, watch, break, reload) at a
// time, and a stop from another client that ends a long one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

class VerbTurn {
  public:
    // Takes the turn for the request; false, with the request that holds
    // it, when another does.
    bool Take(const std::string& request, std::string* holder);
    void Give();
    // The request that holds the turn, or "".
    std::string holder();
    // Asks the holder to end and waits until it has given the turn back, for
    // endWait at most. Returns the request that held it ("" when none did);
    // *ended says whether it let go in time.
    std::string EndHolder(bool* ended);
    // Every verb ends within a slice of being asked; a stuck one is given up
    // on after this, within emuapsctl's own 5 seconds.
    static constexpr std::chrono::milliseconds kEndWait{4000};
    void SetEndWait(std::chrono::milliseconds wait) { endWait_ = wait; }
    // Whether the holder was asked to end; cheap, checked between slices.
    bool endAsked() const { return endAsked_.load(std::memory_order_relaxed); }

  private:
    std::mutex mutex_;
    std::condition_variable given_;
    std::string holder_;
    uint64_t turns_ = 0; // turns given back
    std::atomic<bool> endAsked_ = false;
    std::chrono::milliseconds endWait_ = kEndWait;
};
