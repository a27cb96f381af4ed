// Loading a chip (image and patch) on a thread of its own, so that the thread
// that waits for signals stays free: SIGINT and SIGTERM end the service at
// any time, also while a load is under way, which is then abandoned.
#pragma once

#include "chip_image.h"
#include "loaded_program.h"

#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <string>

class ChipLoad {
  public:
    using Work = std::function<ChipImageResult(LoadedProgram* loaded)>;
    // Starts work; when it is done, doneSignal is sent to this process.
    ChipLoad(Work work, int doneSignal);
    // Waits for a finished load; leaves one still under way to itself.
    ~ChipLoad();
    ChipLoad(const ChipLoad&) = delete;
    ChipLoad& operator=(const ChipLoad&) = delete;

    bool finished() const;
    // Only once finished.
    const ChipImageResult& result() const;
    const LoadedProgram& loaded() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

enum class LoadWait { Finished, Stop };
// Takes the signals of set (which the caller's threads block) until the load
// has finished or SIGINT or SIGTERM arrives. Other signals of the set that
// arrive meanwhile (a SIGHUP) are dropped.
LoadWait AwaitLoad(const ChipLoad& load, const sigset_t& set);
