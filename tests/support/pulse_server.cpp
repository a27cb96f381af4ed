#include "support/pulse_server.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The protocol comes last: once its socket is there, so are the sinks.
const char* const kScript =
    "load-module module-null-sink sink_name=both rate=48000 format=s16le channels=4 "
    "channel_map=front-left,front-right,rear-left,rear-right\n"
    "load-module module-remap-sink sink_name=into master=both channels=2 remix=no "
    "channel_map=front-left,front-right master_channel_map=front-left,front-right\n"
    "load-module module-remap-sink sink_name=outof master=both channels=2 remix=no "
    "channel_map=front-left,front-right master_channel_map=rear-left,rear-right\n"
    "set-default-sink outof\n"
    "set-default-source into.monitor\n";

// Forks and execs argv with environ and `extra` set, standard output to out
// and standard error to err.
pid_t Start(std::vector<std::string> args, const std::vector<std::string>& extra,
            const std::string& out, const std::string& err) {
    std::vector<std::string> env(extra);
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e); // the first of a name counts
    std::vector<char*> envp, argv;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
    return pid;
}

std::string Text(const std::string& path) {
    std::stringstream all;
    all << std::ifstream(path).rdbuf();
    return all.str();
}

} // namespace

PulseServer::PulseServer(const std::string& folder) : folder_(folder) {
    const std::string run = folder + "/pulse-run", socket = run + "/native";
    mkdir(run.c_str(), 0700);
    std::ofstream(folder + "/pulse.pa")
        << kScript << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket
        << "\n";
    std::ofstream(folder + "/client.conf") << "autospawn = no\n";
    // Root needs no --system: a user daemon only warns that it runs as root.
    pid_ = Start({"pulseaudio", "--daemonize=no", "-n", "-F", folder + "/pulse.pa",
                  "--exit-idle-time=-1", "--use-pid-file=no", "--fail=yes", "--log-target=stderr"},
                 {"HOME=" + folder, "XDG_RUNTIME_DIR=" + run, "PULSE_RUNTIME_PATH=" + run,
                  "XDG_CONFIG_HOME=" + folder + "/pulse-config"},
                 "/dev/null", folder + "/pulse.log");
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (folder + "/client.conf").c_str(), 1);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    struct stat st;
    while (stat(socket.c_str(), &st) != 0) {
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_ || Clock::now() > deadline) {
            Kill();
            throw std::runtime_error("pulseaudio did not start (tools/install-deps.sh installs "
                                     "it): " +
                                     Text(folder + "/pulse.log"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

PulseServer::~PulseServer() {
    Kill();
    unsetenv("PULSE_SERVER");
    unsetenv("PULSE_CLIENTCONFIG");
}

pid_t PulseServer::Spawn(std::vector<std::string> args, const std::string& out) const {
    return Start(std::move(args), {}, out, folder_ + "/clients.log");
}

int PulseServer::Wait(pid_t client, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(client, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(client, SIGTERM);
            waitpid(client, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void PulseServer::Kill() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
