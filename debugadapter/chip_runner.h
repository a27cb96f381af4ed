// Lets the chip run until it stops, on a thread of its own, so the adapter
// keeps answering (pause, threads, evaluate) meanwhile. A run repeats one
// bounded request (break or watch) until its answer tells of a stop, or
// lets the chip go (continue) and polls its status until it stands still.
#pragma once

#include "dap_mapping.h"
#include "service_link.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class ChipRunner {
  public:
    // stopped is called on the runner's thread once a run ends.
    ChipRunner(ServiceLink link, std::function<void(const StopSaid&)> stopped);
    ~ChipRunner();

    // request: a break or watch line to repeat; "" lets the chip run free.
    void Run(const std::string& request);
    // Stops the chip and so ends a run; answered once the run let go.
    void Pause();
    bool running() const { return running_; }

  private:
    void Loop(std::string request);
    void Join();

    ServiceLink link_;
    std::function<void(const StopSaid&)> stopped_;
    std::thread thread_;
    std::atomic<bool> running_{false}, pauseAsked_{false};
};
