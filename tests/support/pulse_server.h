// A PulseAudio daemon of a test's own, as a desktop's sound server stands to
// emuapsd: a private runtime folder, no autospawn, no hardware, killed when
// the object goes. A 4-channel null sink, "both", carries two remap sinks:
// "into" on its front pair, whose monitor is the default source, and
// "outof" on its rear pair, the default sink. So emuapsd --capture=pulse
// --play=pulse hears what is played into "into" and plays into "outof", and
// both.monitor records the two side by side, frame for frame on the
// server's one clock. The test process and its children find it by
// PULSE_SERVER while it lives.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class PulseServer {
  public:
    // Starts it in folder; throws std::runtime_error with its log when it
    // does not come up.
    explicit PulseServer(const std::string& folder);
    ~PulseServer(); // Kill()
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts a client of it (pacat, parec, pactl) with standard output to `out`.
    pid_t Spawn(std::vector<std::string> args, const std::string& out = "/dev/null") const;
    // Waits for a client to end: its exit status; after timeoutMs it is
    // ended with SIGTERM first (-1 when it does not exit by itself then).
    static int Wait(pid_t client, int timeoutMs);
    int Run(std::vector<std::string> args, int timeoutMs = 10000) const {
        return Wait(Spawn(std::move(args)), timeoutMs);
    }
    // Ends it as a server that dies under its clients.
    void Kill();

  private:
    std::string folder_;
    pid_t pid_ = -1;
};
