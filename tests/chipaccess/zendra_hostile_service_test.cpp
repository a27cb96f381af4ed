// The library against a fake service that misbehaves at one step of the
// handshake. Each row runs in a process of its own, where the library was
// never opened: it first holds the device of a well-behaved fake, which then
// dies and leaves its path to the hostile one.
#include "aps_channel.h"
#include "aps_shared_chip.h"
#include "aps_socket.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum Step { kHangUpUnread, kSilent, kFullBacklog, kWelcome };
enum Memory { kSealed, kUnsealed, kShrunken, kNoMemory };

struct Row {
    const char* name;
    Step step = kWelcome;
    Memory memory = kSealed;
    int extraFds = 0;
    size_t welcomeBytes = sizeof(ApsWelcome);
    uint32_t chipSize = APS_SHARED_CHIP_SIZE;
    int32_t outcome = 1;
};

const Row kRows[] = {
    {.name = "a well-formed welcome (the fake's own check)", .outcome = 0},
    {.name = "hangs up before the welcome, the hello unread", .step = kHangUpUnread},
    {.name = "a welcome without a descriptor", .memory = kNoMemory},
    {.name = "a welcome with two descriptors", .extraFds = 1},
    {.name = "more descriptors than the control buffer holds", .extraFds = 11},
    {.name = "half a welcome", .welcomeBytes = sizeof(ApsWelcome) / 2},
    {.name = "unsealed memory", .memory = kUnsealed},
    {.name = "memory shorter than the chip", .memory = kShrunken},
    {.name = "a wrong chip size", .chipSize = APS_SHARED_CHIP_SIZE + 4096},
    {.name = "never answers", .step = kSilent},
    {.name = "a full backlog", .step = kFullBacklog},
};

int ChipMemory(Memory memory) {
    int fd = memfd_create("chip", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const uint32_t id[2] = {APS_SHARED_CHIP_MAGIC, APS_PROTOCOL_VERSION};
    if (ftruncate(fd, APS_SHARED_CHIP_SIZE) != 0 ||
        pwrite(fd, id, sizeof id, offsetof(ApsSharedChip, magic)) != sizeof id ||
        ftruncate(fd, memory == kShrunken ? APS_SHARED_CHIP_SIZE / 2 : APS_SHARED_CHIP_SIZE) != 0)
        std::abort();
    if (memory != kUnsealed)
        fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL);
    return fd;
}

// The one place the fake's welcome is made.
void SendWelcome(int conn, const Row& row) {
    ApsWelcome w = {APS_HELLO_MAGIC,    APS_PROTOCOL_VERSION, APS_WELCOME_OK,
                    APS_CHIP_SIMULATED, row.chipSize,         0};
    std::vector<int> fds;
    for (int i = row.memory == kNoMemory ? 1 : 0; i <= row.extraFds; ++i)
        fds.push_back(ChipMemory(row.memory));
    iovec iov = {&w, row.welcomeBytes};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 16)];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (!fds.empty()) {
        msg.msg_control = control;
        msg.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        *c = {CMSG_LEN(sizeof(int) * fds.size()), SOL_SOCKET, SCM_RIGHTS};
        std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
    }
    sendmsg(conn, &msg, MSG_NOSIGNAL);
}

// A forked process listening at path, acting out row on every connection.
struct Fake {
    pid_t pid;
    std::vector<int> backlog;
    Fake(const std::string& path, const Row& row) {
        unlink(path.c_str());
        sockaddr_un addr;
        int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (ApsSocketAddress(path.c_str(), &addr) != 0 ||
            bind(listener, (sockaddr*)&addr, sizeof addr) != 0 ||
            listen(listener, row.step == kFullBacklog ? 0 : 8) != 0)
            std::abort();
        const timespec now = ApsDeadlineIn(0);
        for (int fd; row.step == kFullBacklog && (fd = ApsConnectBy(path.c_str(), &now)) >= 0;)
            backlog.push_back(fd);
        if ((pid = fork()) != 0) {
            close(listener);
            return;
        }
        for (int conn;
             row.step != kFullBacklog && (conn = accept(listener, nullptr, nullptr)) >= 0;) {
            pollfd hello = {conn, POLLIN, 0};
            poll(&hello, 1, 2000);
            if (row.step == kHangUpUnread)
                close(conn);
            else if (ApsHello h; recv(conn, &h, sizeof h, 0) > 0 && row.step == kWelcome)
                SendWelcome(conn, row);
        }
        pause();
    }
    ~Fake() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        for (int fd : backlog)
            close(fd);
    }
};

bool SameFile(int fd, const struct stat& was) {
    struct stat st;
    return fstat(fd, &st) == 0 && st.st_dev == was.st_dev && st.st_ino == was.st_ino;
}

bool RowPasses(const Row& row) {
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    const std::string path = dir.path() + "/emuaps.vxd";
    bool ok = true;
    auto check = [&](bool good, const char* what) {
        if (!good) {
            std::fprintf(stderr, "%s: %s\n", row.name, what);
            ok = false;
        }
    };
    auto timed = [](auto call, int limitMs) {
        const auto start = std::chrono::steady_clock::now();
        int32_t result = call();
        return std::chrono::steady_clock::now() - start < std::chrono::milliseconds(limitMs)
                   ? result
                   : -1;
    };
    {
        Fake good(path, kRows[0]);
        check(ifInitApsIo() == 0, "the open of a well-behaved service");
    }
    // The caller's files: standard input to error, and three that take the
    // numbers the last welcome's descriptors had. No failure may close one.
    int mine[6] = {0,
                   1,
                   2,
                   open("/dev/null", O_RDONLY),
                   open("/dev/null", O_RDONLY),
                   open("/dev/null", O_RDONLY)};
    struct stat was[6];
    for (int i = 0; i < 6; ++i)
        fstat(mine[i], &was[i]);
    Fake hostile(path, row);
    int32_t value;
    check(timed([&] { return ifGPRMemoryRead(0x100, &value); }, 1000) == row.outcome, "the reopen");
    check(timed(ifInitApsIo, 2500) == row.outcome, "the open");
    for (int i = 0; i < 6; ++i)
        check(SameFile(mine[i], was[i]), "one of the caller's files was closed");
    return ok;
}

TEST(ZendraHostileServiceDeathTest, EachMisstepFailsInTimeAndLeavesTheCallersFilesAlone) {
    for (const Row& row : kRows)
        EXPECT_EXIT(std::exit(RowPasses(row) ? 0 : 1), ::testing::ExitedWithCode(0), "")
            << row.name;
}

} // namespace
