// A busy machine for benchmarks: CPU-bound processes, one busy loop each,
// that run for as long as the object lives. Benchmarks that measure under
// load start their own, so no other benchmark pays for them.
#pragma once

#include <sys/types.h>
#include <vector>

class BusyMachine {
  public:
    explicit BusyMachine(int processes = 2);
    ~BusyMachine();
    BusyMachine(const BusyMachine&) = delete;
    BusyMachine& operator=(const BusyMachine&) = delete;

  private:
    std::vector<pid_t> pids_;
};
