// Runs the built emuapsd as a child process for end-to-end tests and
// benchmarks: its own XDG_RUNTIME_DIR, a chip image, its standard error in a
// log file; stopped (SIGTERM) when the object goes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class ServiceProcess {
  public:
    // Starts VELMORA_PROGRAM_DIR/emuapsd --image imagePath [extraArgs] and
    // waits until its socket accepts. An empty logPath leaves standard error
    // alone. Throws std::runtime_error when the service exits or its socket
    // does not appear.
    ServiceProcess(const std::string& runtimeDir, const std::string& imagePath,
                   const std::string& logPath = "", const std::vector<std::string>& extraArgs = {});
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& socketPath() const { return socketPath_; }

    // Asks the service to reload its chip image.
    void reload() const;
    // Waits until the log file holds text; false after timeoutMs.
    bool waitForLog(const std::string& text, int timeoutMs = 10000) const;
    // SIGTERM, then waits; returns the exit status (or -1 when killed).
    int stop();
    // SIGKILL, as a crash would end it: its socket file stays behind.
    void crash();

  private:
    pid_t pid_ = -1;
    std::string socketPath_;
    std::string logPath_;
};
