// The library against a fake service that welcomes it, hangs up, and then
// misbehaves at one step of the handshake: each row in a process of its own,
// where the library was never opened.
#include "aps_channel.h"
#include "aps_shared_chip.h"
#include "aps_socket.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum Fault {
    kNone,
    kHangUp,
    kNoFd,
    kTwoFds,
    kTooMany,
    kUnsealed,
    kShrunk,
    kBadSize,
    kSilent,
    kFull
};
const char* const kFaultNames[] = {
    "none",     "hang-up, hello unread", "no fd",      "two fds", "more fds than fit",
    "unsealed", "shrunken memfd",        "wrong size", "silence", "full backlog"};

// What the fake does with one connection; the one place its welcome is made.
void Answer(int conn, Fault f) {
    ApsHello hello; // left unread, so that a hang-up resets the client's receive
    if (recv(conn, &hello, sizeof hello, MSG_PEEK | MSG_WAITALL) != sizeof hello || f == kSilent)
        return;
    if (f == kHangUp) {
        close(conn);
        return;
    }
    int memory = memfd_create("chip", MFD_ALLOW_SEALING);
    if (ftruncate(memory, APS_SHARED_CHIP_SIZE) ||
        (f == kShrunk && ftruncate(memory, APS_SHARED_CHIP_SIZE / 2)) ||
        (f != kUnsealed && fcntl(memory, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL)))
        std::abort();
    ApsWelcome w = {APS_HELLO_MAGIC,
                    APS_PROTOCOL_VERSION,
                    APS_WELCOME_OK,
                    APS_CHIP_SIMULATED,
                    APS_SHARED_CHIP_SIZE + (f == kBadSize ? 4096u : 0u),
                    0,
                    0};
    const std::vector<int> fds(f == kNoFd ? 0 : f == kTwoFds ? 2 : f == kTooMany ? 12 : 1, memory);
    iovec iov = {&w, sizeof w};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 12)];
    msghdr msg{nullptr, 0, &iov, 1, control, CMSG_SPACE(sizeof(int) * fds.size()), 0};
    *CMSG_FIRSTHDR(&msg) = {CMSG_LEN(sizeof(int) * fds.size()), SOL_SOCKET, SCM_RIGHTS};
    if (fds.empty())
        msg.msg_controllen = 0;
    else
        std::memcpy(CMSG_DATA(CMSG_FIRSTHDR(&msg)), fds.data(), sizeof(int) * fds.size());
    sendmsg(conn, &msg, MSG_NOSIGNAL);
    close(memory);
    if (f == kNone)
        close(conn); // a hang-up after the welcome: the next export opens again
}

bool RowPasses(Fault fault) {
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    const std::string path = dir.path() + "/emuaps.vxd";
    sockaddr_un addr;
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (ApsSocketAddress(path.c_str(), &addr) || bind(listener, (sockaddr*)&addr, sizeof addr) ||
        listen(listener, 0))
        return false;
    int hungUp[2];
    if (pipe(hungUp) != 0)
        return false;
    const pid_t fake = fork();
    for (int n = 0, conn; fake == 0 && (conn = accept(listener, nullptr, nullptr)) >= 0; ++n) {
        Answer(conn, n == 0 ? kNone : fault);
        if (n == 0 && write(hungUp[1], "!", 1) != 1)
            _exit(1);
        if (fault == kFull)
            pause(); // its backlog, filled below, stays full
    }
    if (fake == 0)
        _exit(0);
    bool ok = ifInitApsIo() == 0;
    // The caller's files: standard input up, and three on the numbers the welcome's fds had.
    int mine[6] = {0, 1, 2};
    for (int i = 3; i < 6; ++i)
        mine[i] = open("/dev/null", O_RDONLY);
    struct stat was[6], is;
    for (int i = 0; i < 6; ++i)
        fstat(mine[i], &was[i]);
    char c;
    ok = read(hungUp[0], &c, 1) == 1 && ok;
    const timespec now = ApsDeadlineIn(0);
    while (fault == kFull && ApsConnectBy(path.c_str(), &now) >= 0)
        ;
    // The outcome of a call, or -1 when it took longer than limitMs.
    auto timed = [](int limitMs, auto call) {
        const auto start = std::chrono::steady_clock::now();
        const int32_t result = call();
        return std::chrono::steady_clock::now() - start < std::chrono::milliseconds(limitMs)
                   ? result
                   : -1;
    };
    int32_t value;
    const int32_t expected = fault == kNone ? 0 : 1;
    ok = timed(1000, [&] { return ifGPRMemoryRead(0x100, &value); }) == expected && ok; // a reopen
    // A silent or full service costs the open its whole time limit (5 s), no more:
    // the bound only tells a bounded wait from an endless one.
    ok = timed(10000, ifInitApsIo) == expected && ok;
    for (int i = 0; i < 6; ++i)
        ok = fstat(mine[i], &is) == 0 && is.st_dev == was[i].st_dev && is.st_ino == was[i].st_ino &&
             ok;
    kill(fake, SIGKILL);
    waitpid(fake, nullptr, 0);
    return ok;
}

TEST(ZendraHostileServiceDeathTest, EachMisstepFailsInTimeAndLeavesTheCallersFilesAlone) {
    for (Fault f = kNone; f <= kFull; f = Fault(f + 1))
        EXPECT_EXIT(std::exit(RowPasses(f) ? 0 : 1), ::testing::ExitedWithCode(0), "")
            << kFaultNames[f];
}

} // namespace
