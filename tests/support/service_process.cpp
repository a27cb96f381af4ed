#include "support/service_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Which socket file is at path (inode and change time; an inode number alone
// is reused at once), or 0 when there is none.
std::pair<ino_t, int64_t> SocketAt(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return {0, 0};
    return {st.st_ino, int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

} // namespace

ServiceProcess::ServiceProcess(const std::string& runtimeDir, const std::string& imagePath,
                               const std::string& logPath,
                               const std::vector<std::string>& extraArgs)
    : socketPath_(runtimeDir + "/emuaps.vxd"), logPath_(logPath) {
    std::string program = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
    // A service that crashed left its socket behind; the new one replaces it.
    const auto stale = SocketAt(socketPath_);
    // Everything the child needs is built before fork: it only calls exec.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "XDG_RUNTIME_DIR=", 16) != 0)
            env.push_back(*e);
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {program, "--image", imagePath};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int logFd = -1;
    if (!logPath.empty()) {
        logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (logFd < 0)
            throw std::runtime_error("cannot create " + logPath);
    }

    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (logFd >= 0)
            dup2(logFd, 2);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (logFd >= 0)
        close(logFd);

    // The service names its socket only once it listens.
    auto deadline = Clock::now() + std::chrono::seconds(10);
    for (auto at = SocketAt(socketPath_); at.first == 0 || at == stale;
         at = SocketAt(socketPath_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("emuapsd exited at start");
        }
        if (Clock::now() > deadline) {
            stop();
            throw std::runtime_error("emuapsd did not open " + socketPath_);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

ServiceProcess::~ServiceProcess() {
    stop();
}

void ServiceProcess::reload() const {
    if (pid_ > 0)
        kill(pid_, SIGHUP);
}

bool ServiceProcess::waitForLog(const std::string& text, int timeoutMs) const {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::ifstream in(logPath_);
        std::stringstream content;
        content << in.rdbuf();
        if (content.str().find(text) != std::string::npos)
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int ServiceProcess::stop() {
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ServiceProcess::crash() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}
