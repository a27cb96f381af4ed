#include "support/emuapsd_run.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

EmuapsdRun RunEmuapsdToEnd(const TempDir& dir, std::vector<std::string> args, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const std::string program = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::string runtime = "XDG_RUNTIME_DIR=" + dir.path();
    std::string config = "XDG_CONFIG_HOME=" + dir.path();
    char* envp[] = {runtime.data(), config.data(), nullptr};
    std::string logPath = dir.path() + "/emuapsd.log";
    int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(log, 2);
        execve(program.c_str(), argv.data(), envp);
        _exit(127);
    }
    close(log);
    EmuapsdRun run;
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (Clock::now() - start > std::chrono::milliseconds(timeoutMs)) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
    std::ifstream in(logPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    run.log = text.str();
    return run;
}
