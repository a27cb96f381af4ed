// A private X server (Xvfb) for tests that run the real viewer in real windows,
// and the xdotool queries they make of it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class XDisplay {
  public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool ok() const { return pid_ > 0; }
    const std::string& name() const { return name_; } // ":N"

    // Ids of the visible windows whose title matches the regular expression.
    std::vector<std::string> VisibleWindows(const std::string& titleRegex) const;
    // Ids of the visible windows that a process owns.
    std::vector<std::string> VisibleWindowsOf(pid_t pid) const;
    // Waits up to timeoutMs for such a window; returns its id or "".
    std::string WaitForWindow(const std::string& titleRegex, int timeoutMs) const;
    std::string Title(const std::string& window) const;
    void Key(const std::string& window, const std::string& key) const;

  private:
    std::string name_;
    pid_t pid_ = -1;
};

// Runs a program with extra environment variables, without waiting; its
// standard error goes to stderrPath when one is given.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& stderrPath = "");
// Waits up to timeoutMs for the child to end; returns its exit code, or -1.
int WaitExit(pid_t pid, int timeoutMs);
// Output of a command run to its end (standard output only).
std::string RunAndRead(const std::vector<std::string>& argv, const std::vector<std::string>& env);
