#include "x_display.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> CStrings(std::vector<std::string>& v) {
    std::vector<char*> out;
    for (auto& s : v)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string key = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& x : extra)
            replaced |= x.substr(0, x.find('=')) == key;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

pid_t SpawnWith(std::vector<std::string> argv, const std::vector<std::string>& extraEnv,
                posix_spawn_file_actions_t* actions) {
    std::vector<std::string> env = Environment(extraEnv);
    auto args = CStrings(argv);
    auto envp = CStrings(env);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), envp.data()) != 0)
        return -1;
    return pid;
}

} // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& stderrPath) {
    if (stderrPath.empty())
        return SpawnWith(argv, env, nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = SpawnWith(argv, env, &actions);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitExit(pid_t pid, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < end);
    return -1;
}

std::string RunAndRead(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = SpawnWith(argv, env, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    if (pid > 0)
        WaitExit(pid, 10000);
    return out;
}

XDisplay::XDisplay() {
    // Xvfb picks a free display number itself and names it on the pipe once
    // it accepts connections, so parallel tests never share a server.
    int fds[2];
    if (pipe(fds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The read end first: when it is fd 3 itself, the dup2 then lands.
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    pid_ =
        SpawnWith({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                  {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string number;
    pollfd ready = {fds[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos) {
        name_ = ":" + number;
        return;
    }
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        WaitExit(pid_, 5000);
    }
    pid_ = -1;
}

XDisplay::~XDisplay() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        WaitExit(pid_, 5000);
    }
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> ids;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            ids.push_back(line);
    return ids;
}

} // namespace

std::vector<std::string> XDisplay::VisibleWindows(const std::string& titleRegex) const {
    return Lines(RunAndRead({"xdotool", "search", "--onlyvisible", "--name", titleRegex},
                            {"DISPLAY=" + name_}));
}

std::vector<std::string> XDisplay::VisibleWindowsOf(pid_t pid) const {
    return Lines(RunAndRead({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)},
                            {"DISPLAY=" + name_}));
}

std::string XDisplay::WaitForWindow(const std::string& titleRegex, int timeoutMs) const {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        auto ids = VisibleWindows(titleRegex);
        if (!ids.empty())
            return ids.front();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (Clock::now() < end);
    return {};
}

std::string XDisplay::Title(const std::string& window) const {
    std::string t = RunAndRead({"xdotool", "getwindowname", window}, {"DISPLAY=" + name_});
    while (!t.empty() && t.back() == '\n')
        t.pop_back();
    return t;
}

void XDisplay::Key(const std::string& window, const std::string& key) const {
    // Real key events through XTEST: Qt ignores synthetic ones sent to a window.
    RunAndRead({"xdotool", "windowfocus", "--sync", window}, {"DISPLAY=" + name_});
    RunAndRead({"xdotool", "key", key}, {"DISPLAY=" + name_});
}
