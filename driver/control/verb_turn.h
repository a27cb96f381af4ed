// The turn to move the chip, which clients running verbs at once share: one
// verb that runs it (continue, step, advance, watch, break, reload) at a
// time, and a stop from another client that ends a long one.
#pragma once

#include <atomic>
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
    // Asks the holder to end and waits (a while at most) until it has given
    // the turn back; false when nobody held it.
    bool EndHolder();
    // Whether the holder was asked to end; cheap, checked between slices.
    bool endAsked() const { return endAsked_.load(std::memory_order_relaxed); }

  private:
    std::mutex mutex_;
    std::condition_variable given_;
    std::string holder_;
    uint64_t turns_ = 0; // turns given back
    std::atomic<bool> endAsked_ = false;
};
