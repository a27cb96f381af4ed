// The driver service's core on a thread of the test process, listening in a
// private XDG_RUNTIME_DIR.
#pragma once

#include "aps_service.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <mutex>
#include <string>
#include <thread>
#include <vector>

class InProcessService {
  public:
    // Points XDG_RUNTIME_DIR at a fresh folder and starts serving there.
    explicit InProcessService(int helloTimeoutMs = 2000);
    ~InProcessService();

    SimulatedChip& chip() { return chip_; }
    const std::string& socketPath() const { return socketPath_; }
    const std::string& folder() const { return dir_.path(); }

    std::vector<std::string> log();
    // Waits until the log has a line containing text; false after timeoutMs.
    bool waitForLog(const std::string& text, int timeoutMs = 5000);

    void stop();

  private:
    TempDir dir_;
    std::string socketPath_;
    SimulatedChip chip_;
    std::mutex mutex_;
    std::vector<std::string> log_;
    std::unique_ptr<ApsService> service_;
    std::thread thread_;
};
