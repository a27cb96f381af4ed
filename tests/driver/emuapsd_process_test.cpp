// The real emuapsd binary: serving a chip image to the library, reloading it
// on SIGHUP, refusing bad images and a second service, outliving hostile
// holders, stopping cleanly, and the library's refusal of another user's.
#include "raw_client.h"
#include "support/emuapsd_run.h"
#include "support/eventually.h"
#include "support/every_export_fails.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kDemo = std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip";

std::string Image(uint32_t gpr100) {
    std::ostringstream text;
    text << "emuaps-chip-image 1\nreg 0x100 " << gpr100 << "\n";
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

int32_t ReadGpr(int32_t address) {
    int32_t value = -1;
    EXPECT_EQ(ifGPRMemoryRead(address, &value), 0);
    return value;
}

TEST(Emuapsd, ServesTheDemoChipThroughTheLibrary) {
    TempDir dir;
    ServiceProcess service(dir.path(), kDemo);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);
    MicrocodeInstruction first{};
    EXPECT_EQ(ifInstrMemoryRead(0, &first), 0);
    EXPECT_EQ(first.Opcode, 0); // MACS 0x10D 0x040 0x000 0x100
    EXPECT_EQ(first.R, 0x10D);
    EXPECT_EQ(first.A, 0x040);
    EXPECT_EQ(first.X, 0x000);
    EXPECT_EQ(first.Y, 0x100);
    std::vector<MicrocodeInstruction> all(512);
    EXPECT_EQ(ifInstrMemoryReadAll(512, all.data()), 0);
    EXPECT_EQ(all[511].Opcode, 6);
    EXPECT_EQ(all[511].R, 0x40);
    int32_t tram[4] = {};
    EXPECT_EQ(ifGPRMemoryReadAll(0x300, 4, tram), 0);
    EXPECT_EQ(tram[0], 0x00200000);
    EXPECT_EQ(tram[1], 0x001004B0);
}

TEST(Emuapsd, SighupReloadsTheImageAndKeepsTheChipWhenTheNewOneIsBad) {
    TempDir dir;
    std::string image = dir.write("chip.txt", Image(1));
    std::string log = dir.path() + "/emuapsd.log";
    ServiceProcess service(dir.path(), image, log);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);
    EXPECT_EQ(ReadGpr(0x100), 1);

    dir.write("chip.txt", Image(2));
    service.reload();
    ASSERT_TRUE(service.waitForLog("reloaded"));
    EXPECT_EQ(ReadGpr(0x100), 2) << "the open device sees the new chip";

    dir.write("chip.txt", "emuaps-chip-image 1\nreg 0x100 oops\n");
    service.reload();
    ASSERT_TRUE(service.waitForLog("keeping the current chip"));
    EXPECT_TRUE(service.waitForLog("line 2: bad value 'oops'"));
    EXPECT_EQ(ReadGpr(0x100), 2);
}

// The library never shows a chip that is not there: once the service is gone
// every export says so and leaves the caller's values alone, and a service
// started again is simply the device at the next call.
TEST(Emuapsd, AKilledServiceFailsEveryExportAndARestartedOneIsFoundAgain) {
    TempDir dir;
    std::string one = dir.write("one.chip", Image(1));
    std::string two = dir.write("two.chip", Image(2));
    auto service = std::make_unique<ServiceProcess>(dir.path(), one);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ASSERT_EQ(ifInitApsIo(), 0);
    EXPECT_EQ(ReadGpr(0x100), 1);

    service->crash();
    ExpectEveryExportFailsAndLeavesTheValuesAlone();

    service = std::make_unique<ServiceProcess>(dir.path(), two);
    EXPECT_EQ(ReadGpr(0x100), 2) << "the same open reaches the new service's chip";
}

TEST(Emuapsd, SigtermRemovesTheSocketAndEndsWell) {
    TempDir dir;
    ServiceProcess service(dir.path(), kDemo);
    ASSERT_TRUE(Exists(service.socketPath()));
    EXPECT_EQ(service.stop(), 0);
    EXPECT_FALSE(Exists(service.socketPath()));
}

// SIGHUP, then SIGTERM while the reload reads an image near its 1 MiB limit.
TEST(Emuapsd, SigtermDuringAReloadEndsWellAtOnceAndRemovesItsFiles) {
    TempDir dir;
    std::string big = "emuaps-chip-image 1\n";
    for (int i = 0; i < 80000; ++i)
        big += "reg 0x100 1\n";
    ServiceProcess service(dir.path(), dir.write("big.chip", big));
    const std::string files[] = {dir.path() + "/emuaps.ctl", dir.path() + "/emuaps.d"};
    ASSERT_TRUE(Eventually([&] { return Exists(files[0]) && Exists(files[1]); }));
    kill(service.pid(), SIGHUP); // taken first: sigwait takes the lower number
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(service.stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(Exists(service.socketPath()) || Exists(files[0]) || Exists(files[1]));
}

TEST(Emuapsd, RefusesABadImageOrASecondServiceAtStart) {
    TempDir dir;
    std::string bad = dir.write("bad.chip", "emuaps-chip-image 1\ninstr 600 ACC3 0 0 0 0\n");
    std::string log = dir.path() + "/bad.log";
    EXPECT_THROW(ServiceProcess(dir.path(), bad, log), std::runtime_error);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("line 2"), std::string::npos) << text.str();
    EXPECT_FALSE(Exists(dir.path() + "/emuaps.vxd"));

    ServiceProcess first(dir.path(), kDemo, dir.path() + "/first.log");
    std::string program = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
    std::string command = "XDG_RUNTIME_DIR='" + dir.path() + "' '" + program + "' --image '" +
                          kDemo + "' --patch '" + VELMORA_PROGRAM_DIR +
                          "/images/demo-chorus-echo.emu10k1' 2>'" + dir.path() + "/second.log'";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream secondLog(dir.path() + "/second.log");
    std::stringstream second;
    second << secondLog.rdbuf();
    EXPECT_NE(second.str().find("already listens"), std::string::npos) << second.str();
    // It asked before it placed its patch, and the asking is no fault of a client.
    EXPECT_EQ(second.str().find("patch '"), std::string::npos) << second.str();
    EXPECT_FALSE(first.waitForLog("client", 0));
    EXPECT_TRUE(Exists(first.socketPath())) << "the second must not take the first's socket";
    // The second one's probe held the device for a moment; the first still serves.
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    int opened = 1;
    for (int i = 0; i < 100 && opened != 0; ++i) {
        opened = ifInitApsIo();
        if (opened != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(opened, 0);
}

TEST(Emuapsd, OfTwoServicesStartedAtOnceExactlyOneServes) {
    TempDir dir;
    const std::string path = dir.path() + "/emuaps.vxd";
    int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(flock(lock, LOCK_EX), 0); // as another one's start would
    EmuapsdRun held = RunEmuapsdToEnd(dir, {"--image", kDemo});
    close(lock);
    EXPECT_EQ(held.status, 1);
    EXPECT_NE(held.log.find("another service is starting or running"), std::string::npos);
    for (int round = 0; round < 20; ++round) {
        // Each round starts where the last one's service was killed.
        EmuapsdRun runs[2];
        std::atomic<int> ended = 0;
        auto run = [&](int i) {
            runs[i] = RunEmuapsdToEnd(dir, {"--image", kDemo}, 30000);
            ++ended;
        };
        std::thread first(run, 0), second(run, 1);
        // Once one serves and the other gave up, the one serving is killed.
        ucred server{};
        const bool served = Eventually([&] {
            RawSession s(path);
            socklen_t size = sizeof server;
            return s.ok() && getsockopt(s.fd(), SOL_SOCKET, SO_PEERCRED, &server, &size) == 0;
        });
        Eventually([&] { return ended > 0; });
        if (served && server.pid > 0)
            kill(server.pid, SIGKILL);
        first.join();
        second.join();
        EXPECT_TRUE(served) << "round " << round;
        EXPECT_EQ(runs[0].status * runs[1].status, -1) << "one killed (-1), the other ended (1)";
    }
}

const int kScribble = 1, kPunch = 2, kForkWriter = 4;
const uint32_t kTrace = 0x0F0, kGhost = 0x0F1; // host-only: the DSP never writes them

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
    ApsWriteRegister(&s.chip()->registers[kTrace], 0x7ACE);
    const pid_t writer = how & kForkWriter ? fork() : -1;
    for (time_t end = time(nullptr) + 3; writer == 0 && time(nullptr) < end;)
        ApsWriteRegister(&s.chip()->registers[kGhost], 1);
    _exit(writer == 0 || write(report, &writer, sizeof writer) == sizeof writer ? 0 : 4);
}

TEST(Emuapsd, WhateverAHolderDidTheNextOneOpensAndTheServiceIsWhole) {
    TempDir dir;
    ServiceProcess service(dir.path(), kDemo, dir.path() + "/log", {"--run"});
    for (int how : {kScribble, kPunch, kForkWriter, kScribble | kPunch | kForkWriter}) {
        SCOPED_TRACE(how);
        int report[2], status = -1;
        pid_t writer = -1;
        ASSERT_EQ(pipe(report), 0);
        const pid_t hostile = fork();
        if (hostile == 0)
            HoldHostilely(service.socketPath(), how, report[1]);
        ASSERT_EQ(waitpid(hostile, &status, 0), hostile);
        const auto gone = std::chrono::steady_clock::now();
        ASSERT_EQ(status, 0);
        ASSERT_EQ(read(report[0], &writer, sizeof writer), ssize_t(sizeof writer));
        close(report[0]);
        close(report[1]);
        auto next = std::make_unique<RawSession>(service.socketPath());
        while (!next->ok() && std::chrono::steady_clock::now() - gone < std::chrono::seconds(1))
            next = std::make_unique<RawSession>(service.socketPath());
        ASSERT_TRUE(next->ok()) << "no open within 1 s";
        ApsChipWord* regs = next->chip()->registers;
        EXPECT_EQ(ApsLoadRegister(&regs[kTrace]), 0x7ACEu) << "what it wrote while holding stays";
        ApsWriteRegister(&regs[kGhost], 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(ApsLoadRegister(&regs[kGhost]), 0u) << "a forked writer still reaches the chip";
        if (writer > 0)
            kill(writer, SIGKILL);
        service.reload(); // the image's 0 comes back, and the DSP runs on
        for (int i = 0; i < 600 && ApsLoadRegister(&regs[kTrace]) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(ApsLoadRegister(&regs[kTrace]), 0u) << "no reload";
        const std::vector<ApsChipWord> gprs(regs + 0x100, regs + 0x200);
        EXPECT_TRUE(Eventually([&] { return !std::equal(gprs.begin(), gprs.end(), regs + 0x100); }))
            << "the DSP stopped";
    }
}

// A service of another user could answer with anything: the library does
// not take it for the driver.
TEST(Emuapsd, LibraryRefusesAServiceOfAnotherUser) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the service as another user";
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    std::string image = dir.write("chip.txt", Image(5));
    ASSERT_EQ(chmod(image.c_str(), 0644), 0);
    std::string program = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";
    std::string env = "XDG_RUNTIME_DIR=" + dir.path();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(10);
        char* argv[] = {program.data(), const_cast<char*>("--image"), image.data(), nullptr};
        char* envp[] = {env.data(), nullptr};
        execve(program.c_str(), argv, envp);
        _exit(127);
    }
    std::string socket = dir.path() + "/emuaps.vxd";
    for (int i = 0; i < 5000 && !Exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(Exists(socket)) << "the service of user nobody did not start";
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(ifInitApsIo(), 1);
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
}

} // namespace
