// The claim on the device ends with its holder, whatever the holder did to
// the memory it was handed; and of two services started at once exactly one
// serves.
#include "raw_client.h"
#include "support/emuapsd_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"

#include "aps_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kDemo = std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip";
// Host-only registers, which the DSP never writes.
const uint32_t kTrace = 0x0F0, kGhost = 0x0F1;

uint32_t Read(ApsChipPorts& ports, uint32_t reg) {
    uint32_t value = 0;
    ApsChipPortWrite(&ports, APS_PORT_POINTER, reg << 16);
    ApsChipPortRead(&ports, APS_PORT_DATA, &value);
    return value;
}

void Write(ApsChipPorts& ports, uint32_t reg, uint32_t value) {
    ApsChipPortWrite(&ports, APS_PORT_POINTER, reg << 16);
    ApsChipPortWrite(&ports, APS_PORT_DATA, value);
}

// Connects, says hello and takes the welcome; on OK, welcome.fds[0] is the
// chip's memory.
RawWelcome Handshake(const std::string& path) {
    int fd = RawConnect(path);
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    RawWelcome w;
    if (fd >= 0 && RawSend(fd, &hello, sizeof hello))
        w = RawReceiveWelcome(fd, 2000);
    w.fds.insert(w.fds.begin(), fd); // the claim first
    return w;
}

bool Welcomed(const RawWelcome& w) {
    return w.received && w.welcome.status == APS_WELCOME_OK && w.fds.size() == 2;
}

// A client that goes through everything the library checks.
struct CheckedHolder {
    int claim = -1;
    ApsSharedChip* chip = nullptr;
    uint32_t pointer = 0;
    ApsChipPorts ports() { return {&pointer, chip->registers, nullptr}; }

    explicit CheckedHolder(const RawWelcome& w) {
        claim = w.fds[0];
        struct stat st;
        const int seals = fcntl(w.fds[1], F_GET_SEALS);
        const int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;
        if (w.welcome.kind == APS_CHIP_SIMULATED && w.welcome.chip_size == APS_SHARED_CHIP_SIZE &&
            fstat(w.fds[1], &st) == 0 && st.st_size == APS_SHARED_CHIP_SIZE && seals >= 0 &&
            (seals & kSeals) == kSeals) {
            void* p = mmap(nullptr, APS_SHARED_CHIP_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED,
                           w.fds[1], 0);
            chip = p == MAP_FAILED ? nullptr : static_cast<ApsSharedChip*>(p);
        }
        close(w.fds[1]);
    }
    ~CheckedHolder() {
        if (chip)
            munmap(chip, APS_SHARED_CHIP_SIZE);
        close(claim);
    }
};

struct Hostility {
    const char* what;
    bool scribble, punch, forkWriter;
};

// In a child of the test: holds the device, does its worst, and ends
// without a word. Returns the pid of a writer it forked, through the pipe.
[[noreturn]] void HoldHostilely(const std::string& path, const Hostility& h, int report) {
    RawWelcome w = Handshake(path);
    if (!Welcomed(w))
        _exit(2);
    auto* chip = static_cast<ApsSharedChip*>(
        mmap(nullptr, APS_SHARED_CHIP_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, w.fds[1], 0));
    if (chip == MAP_FAILED)
        _exit(3);
    if (h.scribble)
        std::memset(chip, 0xA5, APS_SHARED_CHIP_SIZE);
    if (h.punch && fallocate(w.fds[1], FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 4096,
                             APS_SHARED_CHIP_SIZE - 4096) != 0)
        _exit(4);
    uint32_t pointer = 0;
    ApsChipPorts ports = {&pointer, chip->registers, nullptr};
    Write(ports, kTrace, 0x7ACE);
    pid_t writer = 0;
    if (h.forkWriter && (writer = fork()) == 0) {
        // Keeps the connection and the mapping, and writes on for a while.
        auto end = Clock::now() + std::chrono::seconds(3);
        while (Clock::now() < end)
            Write(ports, kGhost, 0x6057);
        _exit(0);
    }
    ssize_t sent = write(report, &writer, sizeof writer);
    _exit(sent == sizeof writer ? 0 : 5);
}

TEST(ServiceClaim, WhateverAHolderDoesTheNextOneOpensAndTheServiceIsWhole) {
    TempDir dir;
    ServiceProcess service(dir.path(), kDemo, dir.path() + "/emuapsd.log", {"--run"});
    std::vector<uint32_t> program(0x400);
    {
        CheckedHolder first(Handshake(service.socketPath()));
        ASSERT_NE(first.chip, nullptr);
        ApsChipPorts ports = first.ports();
        for (uint32_t i = 0; i < program.size(); ++i)
            program[i] = Read(ports, 0x400 + i);
    }
    const Hostility rows[] = {
        {"scribbles its whole mapping", true, false, false},
        {"punches holes in its memory", false, true, false},
        {"forks a writer that keeps the mapping", false, false, true},
        {"does all of it", true, true, true},
    };
    for (const Hostility& h : rows) {
        SCOPED_TRACE(h.what);
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t hostile = fork();
        ASSERT_GE(hostile, 0);
        if (hostile == 0)
            HoldHostilely(service.socketPath(), h, report[1]);
        close(report[1]);
        int status = 0;
        ASSERT_EQ(waitpid(hostile, &status, 0), hostile);
        const auto gone = Clock::now();
        pid_t writer = 0;
        ASSERT_EQ(read(report[0], &writer, sizeof writer), ssize_t(sizeof writer));
        close(report[0]);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

        RawWelcome w = Handshake(service.socketPath());
        while (!Welcomed(w) && Clock::now() - gone < std::chrono::seconds(1)) {
            close(w.fds[0]);
            for (std::size_t i = 1; i < w.fds.size(); ++i)
                close(w.fds[i]);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            w = Handshake(service.socketPath());
        }
        ASSERT_TRUE(Welcomed(w)) << "no open within 1 s";
        CheckedHolder next(w);
        ASSERT_NE(next.chip, nullptr) << "the memory handed over is not whole and sealed";
        ApsChipPorts ports = next.ports();
        EXPECT_EQ(Read(ports, kTrace), 0x7ACEu) << "what it wrote while holding stays";
        Write(ports, kGhost, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(Read(ports, kGhost), 0u) << "a forked writer still reaches the chip";
        if (writer > 0)
            kill(writer, SIGKILL);

        service.reload();
        bool reloaded = false;
        for (auto end = Clock::now() + std::chrono::seconds(3); !reloaded && Clock::now() < end;) {
            reloaded = true;
            for (uint32_t i = 0; i < program.size() && reloaded; ++i)
                reloaded = Read(ports, 0x400 + i) == program[i];
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(reloaded) << "a reload brings the program back";
        std::vector<uint32_t> before(0x100);
        for (uint32_t i = 0; i < before.size(); ++i)
            before[i] = Read(ports, 0x100 + i);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        int moved = 0;
        for (uint32_t i = 0; i < before.size(); ++i)
            moved += Read(ports, 0x100 + i) != before[i];
        EXPECT_GT(moved, 5) << "the DSP runs";
    }
}

// Waits until the gate closes, then runs emuapsd in dir; its standard error
// goes to log.
pid_t StartAtGate(const TempDir& dir, const int gate[2], const std::string& log) {
    std::string program = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
    std::vector<std::string> args = {program, "--image", kDemo};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    pid_t pid = fork();
    if (pid == 0) {
        char byte;
        close(gate[1]);
        while (read(gate[0], &byte, 1) < 0 && errno == EINTR) {
        }
        dup2(logFd, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(logFd);
    return pid;
}

int WaitFor(pid_t pid, int timeoutMs) {
    int status = 0;
    for (auto end = Clock::now() + std::chrono::milliseconds(timeoutMs); Clock::now() < end;) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(ServiceClaim, OfTwoServicesStartedAtOnceExactlyOneServes) {
    TempDir dir;
    const std::string path = dir.path() + "/emuaps.vxd";
    {
        // Caught in the middle of another one's start.
        int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_EQ(flock(lock, LOCK_EX), 0);
        EmuapsdRun second = RunEmuapsdToEnd(dir, {"--image", kDemo});
        close(lock);
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.log.find("another service is starting or running"), std::string::npos)
            << second.log;
    }
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int gate[2];
        ASSERT_EQ(pipe2(gate, O_CLOEXEC), 0);
        const pid_t pids[2] = {StartAtGate(dir, gate, dir.path() + "/a.log"),
                               StartAtGate(dir, gate, dir.path() + "/b.log")};
        close(gate[0]);
        close(gate[1]); // both go
        // The one that loses says so and ends; the other serves on.
        int lost = -1, status = -1;
        for (auto end = Clock::now() + std::chrono::seconds(10); lost < 0 && Clock::now() < end;) {
            for (int i = 0; i < 2 && lost < 0; ++i)
                if (waitpid(pids[i], &status, WNOHANG) == pids[i])
                    lost = i;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (lost < 0)
            for (pid_t pid : pids)
                WaitFor(pid, 0);
        ASSERT_GE(lost, 0) << "both services still run";
        const pid_t winner = pids[1 - lost];
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        bool served = false;
        for (auto end = Clock::now() + std::chrono::seconds(5); !served && Clock::now() < end;) {
            served = RawSession(path).ok();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_TRUE(served) << "nobody serves at " << path;
        ASSERT_EQ(waitpid(winner, &status, WNOHANG), 0) << "the other service ended too";
        // Every other round starts where a crash left its socket behind.
        const bool crash = round % 2 == 0;
        kill(winner, crash ? SIGKILL : SIGTERM);
        EXPECT_EQ(WaitFor(winner, 5000), crash ? 128 + SIGKILL : 0);
    }
}

} // namespace
