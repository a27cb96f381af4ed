// The claim on the device ends with its holder, whatever the holder did to
// its memory; and of two services started at once exactly one serves.
#include "raw_client.h"
#include "support/emuapsd_run.h"
#include "support/service_process.h"

#include "aps_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string kEmuapsd = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
std::string kDemo = std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip";
const uint32_t kTrace = 0x0F0, kGhost = 0x0F1; // host-only: the DSP never writes them

uint32_t Port(RawSession& s, uint32_t reg, int64_t write = -1) {
    ApsChipPorts ports = s.ports();
    uint32_t value = 0;
    ApsChipPortWrite(&ports, APS_PORT_POINTER, reg << 16);
    if (write >= 0)
        ApsChipPortWrite(&ports, APS_PORT_DATA, uint32_t(write));
    ApsChipPortRead(&ports, APS_PORT_DATA, &value);
    return value;
}

const int kScribble = 1, kPunch = 2, kForkWriter = 4;

// In a child: holds the device, does its worst and ends without a word. A
// writer it forks keeps the connection and the mapping; its pid goes to report.
[[noreturn]] void HoldHostilely(const std::string& path, int how, int report) {
    RawSession s(path);
    if (!s.ok())
        _exit(2);
    if (how & kScribble)
        std::memset(s.chip(), 0xA5, APS_SHARED_CHIP_SIZE);
    if ((how & kPunch) && madvise(s.chip(), APS_SHARED_CHIP_SIZE, MADV_REMOVE) != 0)
        _exit(3);
    Port(s, kTrace, 0x7ACE);
    const pid_t writer = how & kForkWriter ? fork() : -1;
    for (auto end = Clock::now() + 3s; writer == 0 && Clock::now() < end;)
        Port(s, kGhost, 1);
    _exit(writer == 0 || write(report, &writer, sizeof writer) == sizeof writer ? 0 : 4);
}

TEST(ServiceClaim, WhateverAHolderDidTheNextOneOpensAndTheServiceIsWhole) {
    TempDir dir;
    ServiceProcess service(dir.path(), kDemo, dir.path() + "/log", {"--run"});
    for (int how : {kScribble, kPunch, kForkWriter, kScribble | kPunch | kForkWriter}) {
        SCOPED_TRACE(how);
        int report[2];
        pid_t writer = -1;
        ASSERT_EQ(pipe(report), 0);
        const pid_t hostile = fork();
        if (hostile == 0)
            HoldHostilely(service.socketPath(), how, report[1]);
        int status = -1;
        ASSERT_EQ(waitpid(hostile, &status, 0), hostile);
        const auto gone = Clock::now();
        ASSERT_EQ(status, 0);
        ASSERT_EQ(read(report[0], &writer, sizeof writer), ssize_t(sizeof writer));
        close(report[0]);
        close(report[1]);
        auto next = std::make_unique<RawSession>(service.socketPath());
        while (!next->ok() && Clock::now() - gone < 1s)
            next = std::make_unique<RawSession>(service.socketPath());
        ASSERT_TRUE(next->ok()) << "no open within 1 s";
        EXPECT_EQ(Port(*next, kTrace), 0x7ACEu) << "what it wrote while holding stays";
        Port(*next, kGhost, 0);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(Port(*next, kGhost), 0u) << "a forked writer still reaches the chip";
        if (writer > 0)
            kill(writer, SIGKILL);
        service.reload(); // the image's 0 comes back, and the DSP runs on
        for (auto end = Clock::now() + 3s; Port(*next, kTrace) != 0 && Clock::now() < end;)
            std::this_thread::sleep_for(5ms);
        EXPECT_EQ(Port(*next, kTrace), 0u) << "no reload";
        std::vector<uint32_t> before(0x100);
        for (uint32_t i = 0; i < before.size(); ++i)
            before[i] = Port(*next, 0x100 + i);
        std::this_thread::sleep_for(30ms);
        int moved = 0;
        for (uint32_t i = 0; i < before.size(); ++i)
            moved += Port(*next, 0x100 + i) != before[i];
        EXPECT_GT(moved, 5) << "the DSP stopped";
    }
}

pid_t Spawn(const std::string& log) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string image = "--image";
    char* argv[] = {kEmuapsd.data(), image.data(), kDemo.data(), nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, kEmuapsd.c_str(), &files, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

TEST(ServiceClaim, OfTwoServicesStartedAtOnceExactlyOneServes) {
    TempDir dir;
    const std::string path = dir.path() + "/emuaps.vxd";
    int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(flock(lock, LOCK_EX), 0); // as another one's start would
    EmuapsdRun held = RunEmuapsdToEnd(dir, {"--image", kDemo});
    close(lock);
    EXPECT_EQ(held.status, 1);
    EXPECT_NE(held.log.find("another service is starting or running"), std::string::npos);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const pid_t pids[2] = {Spawn(dir.path() + "/a.log"), Spawn(dir.path() + "/b.log")};
        int status = -1;
        pid_t lost = 0;
        for (auto end = Clock::now() + 10s; lost == 0 && Clock::now() < end;)
            if ((lost = waitpid(-1, &status, WNOHANG)) == 0)
                std::this_thread::sleep_for(2ms);
        EXPECT_TRUE(lost > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        bool served = false;
        for (auto end = Clock::now() + 5s; !served && Clock::now() < end;)
            served = RawSession(path).ok();
        EXPECT_TRUE(served);
        // Every other round starts where a crashed service left its socket.
        for (pid_t pid : pids)
            EXPECT_TRUE(pid == lost || kill(pid, round % 2 ? SIGTERM : SIGKILL) == 0);
        while (waitpid(-1, &status, 0) > 0) {
        }
    }
}

} // namespace
