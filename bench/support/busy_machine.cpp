#include "busy_machine.h"

#include <chrono>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

BusyMachine::BusyMachine(int processes) {
    for (int i = 0; i < processes; ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            // Ends with the benchmark, however that ends.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        if (pid > 0)
            pids_.push_back(pid);
    }
    // Let the scheduler see them as the CPU hogs they are.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

BusyMachine::~BusyMachine() {
    for (pid_t pid : pids_)
        kill(pid, SIGKILL);
    for (pid_t pid : pids_)
        waitpid(pid, nullptr, 0);
}
