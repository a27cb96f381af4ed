// The real driver service on the demo chip, in a private runtime folder, with
// the device opened: what every benchmark through the service starts from.
#pragma once

#include "support/service_process.h"
#include "support/temp_dir.h"

#include <memory>

class DemoService {
  public:
    // Never throws: a service that does not start leaves ready() false, and
    // the benchmarks that need it skip with an error. A running service
    // executes the demo patch in real time, as `make run` starts it.
    explicit DemoService(bool running = false);
    bool ready() const { return ready_; }

  private:
    TempDir runtime_;
    std::unique_ptr<ServiceProcess> service_;
    bool ready_ = false;
};
