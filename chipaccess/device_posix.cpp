// The device on Linux: the driver service emuapsd, reached through its
// Unix-domain socket. Opening the device is a handshake in which the service
// hands over the chip itself (its shared memory, and a card's register
// files); every request is then carried out here, in the caller's thread,
// the way a kernel driver's ioctl runs in its caller's. The socket stays open
// as the claim on the device: each side sees the other go by its hang-up.
#include "aps_channel.h"
#include "aps_device.h"
#include "aps_shared_chip.h"
#include "aps_socket.h"
#include "chip_ports.h"
#include "request_tap.h"
#include "socket_path.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Connection {
    bool used;
    int socket; // -1 while the service is not reached
    ApsSharedChip* chip;
    uint32_t pointer; // the chip's pointer register: this holder's own
    int cardFiles[APS_CARD_FILE_COUNT];
    ApsChipPorts ports;
};

// Handles are never closed, so connections live in a fixed table rather than
// on the heap; an entry is reused only once its service has hung up.
const int kMaxConnections = 8;
Connection g_connections[kMaxConnections];

ZendraRequestTap g_tap;
void* g_tapContext;

// The first opening may meet a service its socket starts on demand: a busy
// machine takes seconds to start it, so wait for its welcome that long.
const int kOpenTimeoutMs = 5000;
// Opening again happens inside an export, on the caller's (the viewer's
// user-interface) thread, so it may not take long.
const int kReopenTimeoutMs = 300;

bool SendHello(int fd) {
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    ssize_t n;
    do
        n = send(fd, &hello, sizeof hello, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == (ssize_t)sizeof hello;
}

// Takes the descriptors of a received message into fds (at most
// APS_WELCOME_MAX_FDS; any beyond are closed). Only what the kernel put in the
// control buffer is read: every header must lie within it.
int TakeDescriptors(struct msghdr* msg, int* fds) {
    int count = 0;
    for (struct cmsghdr* c = CMSG_FIRSTHDR(msg); c; c = CMSG_NXTHDR(msg, c)) {
        size_t offset = (size_t)((char*)c - (char*)msg->msg_control);
        if (c->cmsg_len < CMSG_LEN(0) || c->cmsg_len > msg->msg_controllen - offset)
            break;
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        size_t received = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < received; ++i) {
            int one;
            memcpy(&one, CMSG_DATA(c) + i * sizeof(int), sizeof one);
            if (count < APS_WELCOME_MAX_FDS)
                fds[count++] = one;
            else
                close(one);
        }
    }
    return count;
}

// Receives the welcome and the descriptors that come with it; returns their
// count, or -1 when no whole welcome came by the deadline.
int ReceiveWelcome(int fd, const struct timespec& deadline, ApsWelcome* welcome, int* fds) {
    struct pollfd p = {fd, POLLIN, 0};
    int ready;
    do
        ready = poll(&p, 1, ApsMsLeft(&deadline));
    while (ready < 0 && errno == EINTR);
    if (ready != 1)
        return -1;
    struct iovec iov = {welcome, sizeof *welcome};
    union {
        struct cmsghdr align;
        char bytes[CMSG_SPACE(sizeof(int) * APS_WELCOME_MAX_FDS)];
    } control;
    struct msghdr msg;
    memset(&msg, 0, sizeof msg);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control.bytes;
    msg.msg_controllen = sizeof control.bytes;
    ssize_t n;
    do
        n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    // A failed receive (the service hung up unread) leaves the buffer as it was.
    if (n < 0)
        return -1;
    int count = TakeDescriptors(&msg, fds);
    if (n != (ssize_t)sizeof *welcome || (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        for (int i = 0; i < count; ++i)
            close(fds[i]);
        return -1;
    }
    return count;
}

// The service's memory must stay whole for as long as it is mapped: memory
// that could be cut short under the mapping would fault on the next access,
// and so could memory that may still be sealed some other way later. Only
// sealable memory (a memfd) answers F_GET_SEALS.
ApsSharedChip* MapChip(int fd) {
    const int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != (off_t)APS_SHARED_CHIP_SIZE)
        return nullptr;
    int seals = fcntl(fd, F_GET_SEALS);
    if (seals < 0 || (seals & kSeals) != kSeals)
        return nullptr;
    void* p = mmap(nullptr, APS_SHARED_CHIP_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return p == MAP_FAILED ? nullptr : (ApsSharedChip*)p;
}

bool IsRegularFile(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool WelcomeFits(const ApsWelcome& w, int fdCount) {
    if (w.magic != APS_HELLO_MAGIC || w.version != APS_PROTOCOL_VERSION ||
        w.status != APS_WELCOME_OK || w.chip_size != APS_SHARED_CHIP_SIZE ||
        fdCount != 1 + (int)w.file_count)
        return false;
    return (w.kind == APS_CHIP_SIMULATED && w.file_count == 0) ||
           (w.kind == APS_CHIP_CARD && w.file_count == APS_CARD_FILE_COUNT);
}

void Close(Connection* c) {
    if (c->chip)
        munmap(c->chip, APS_SHARED_CHIP_SIZE);
    for (int& fd : c->cardFiles) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
    if (c->socket >= 0)
        close(c->socket);
    c->socket = -1;
    c->chip = nullptr;
    memset(&c->ports, 0, sizeof c->ports);
}

// Why an open failed, in words for the caller's standard error.
struct Failure {
    char text[ZENDRA_SOCKET_PATH_MAX + 128];
};

void Say(Failure* why, const char* format, const char* text = "") {
    if (why)
        snprintf(why->text, sizeof why->text, format, text);
}

// The holder's program name, as the kernel has it; "" when it cannot be read.
void ProcessName(long pid, char* name, size_t size) {
    name[0] = '\0';
    char path[64];
    snprintf(path, sizeof path, "/proc/%ld/comm", pid);
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    ssize_t n = read(fd, name, size - 1);
    close(fd);
    name[n > 0 ? n : 0] = '\0';
    if (char* end = strchr(name, '\n'))
        *end = '\0';
}

void SayRefused(Failure* why, const ApsWelcome& w, const char* path) {
    if (w.status == APS_WELCOME_BUSY && w.holder_pid != 0) {
        char name[32];
        ProcessName(w.holder_pid, name, sizeof name);
        char text[96];
        snprintf(text, sizeof text, "the device is held by process %lu%s%s%s",
                 (unsigned long)w.holder_pid, name[0] ? " (" : "", name, name[0] ? ")" : "");
        Say(why, "%s", text);
    } else if (w.status == APS_WELCOME_BUSY) {
        Say(why, "%s", "the device is held by another process");
    } else if (w.status == APS_WELCOME_REFUSED) {
        Say(why, "the driver service at %s refused this client (its log says why)", path);
    } else {
        Say(why, "the driver service at %s answered with a welcome this library does not take",
            path);
    }
}

// The handshake; on success c holds the chip and the claim on the device.
bool Open(Connection* c, int timeoutMs, Failure* why = nullptr) {
    const struct timespec deadline = ApsDeadlineIn(timeoutMs);
    char path[ZENDRA_SOCKET_PATH_MAX];
    if (ZendraSocketPath(path, sizeof path, nullptr) != 0) {
        Say(why, "%s", "the path of the device's socket is too long");
        return false;
    }
    int fd = ApsConnectBy(path, &deadline);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ECONNREFUSED)
            Say(why, "no driver service listens at %s (is emuapsd running?)", path);
        else if (error == ETIMEDOUT)
            Say(why, "the driver service at %s accepts no connection (its backlog is full)", path);
        else if (why)
            snprintf(why->text, sizeof why->text, "cannot connect to %s: %s", path,
                     strerror(error));
        return false;
    }
    ApsWelcome welcome;
    int fds[APS_WELCOME_MAX_FDS];
    int count = -1;
    // Someone else's process listening at our path is not our driver.
    const bool ours = ApsPeerIsOwnUser(fd);
    if (ours && SendHello(fd))
        count = ReceiveWelcome(fd, deadline, &welcome, fds);
    ApsSharedChip* chip = nullptr;
    bool ok = count > 0 && WelcomeFits(welcome, count) && (chip = MapChip(fds[0])) != nullptr;
    for (int i = 1; ok && i < count; ++i)
        ok = IsRegularFile(fds[i]);
    if (count > 0)
        close(fds[0]); // the mapping keeps the memory
    if (!ok) {
        if (!ours)
            Say(why, "the process listening at %s runs as another user", path);
        else if (count < 0)
            Say(why, "the driver service at %s gave no welcome in time", path);
        else
            SayRefused(why, welcome, path);
        if (chip)
            munmap(chip, APS_SHARED_CHIP_SIZE);
        for (int i = 1; i < count; ++i)
            close(fds[i]);
        close(fd);
        return false;
    }
    c->socket = fd;
    c->chip = chip;
    for (int i = 0; i < APS_CARD_FILE_COUNT; ++i)
        c->cardFiles[i] = i + 1 < count ? fds[i + 1] : -1;
    c->pointer = 0;
    c->ports.pointer = &c->pointer;
    c->ports.registers = welcome.kind == APS_CHIP_SIMULATED ? chip->registers : nullptr;
    c->ports.card_files = welcome.kind == APS_CHIP_CARD ? c->cardFiles : nullptr;
    return true;
}

// The service never writes to the socket after the handshake, so anything
// readable there is its end of file.
bool ServiceGone(const Connection* c) {
    if (c->socket < 0)
        return true;
    struct pollfd p = {c->socket, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 0) < 0)
        return true;
    return (p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

Connection* FreeConnection() {
    for (Connection& c : g_connections) {
        if (!c.used)
            return &c;
        if (ServiceGone(&c)) {
            Close(&c);
            c.used = false;
            return &c;
        }
    }
    return nullptr;
}

} // namespace

extern "C" void ZendraSetRequestTap(ZendraRequestTap tap, void* context) {
    g_tap = tap;
    g_tapContext = context;
}

ApsDeviceHandle ApsDeviceOpen(void) {
    Failure why;
    snprintf(why.text, sizeof why.text, "this process holds the device %d times", kMaxConnections);
    Connection* c = FreeConnection();
    if (!c || !Open(c, kOpenTimeoutMs, &why)) {
        // The exports have no room for a reason, so the caller's terminal has it.
        fprintf(stderr, "%s: cannot open emuaps.vxd: %s\n", program_invocation_short_name,
                why.text);
        return APS_INVALID_HANDLE;
    }
    c->used = true;
    return (ApsDeviceHandle)c;
}

int ApsDeviceHeld(ApsDeviceHandle device) {
    return !ServiceGone((Connection*)device);
}

int ApsDeviceReady(ApsDeviceHandle device) {
    Connection* c = (Connection*)device;
    if (!ServiceGone(c))
        return 1;
    // A service restarted since the last call is a device opened anew.
    Close(c);
    return Open(c, kReopenTimeoutMs) ? 1 : 0;
}

int ApsDeviceControl(ApsDeviceHandle device, uint32_t code, const void* in, uint32_t in_size,
                     void* out, uint32_t out_size, uint32_t* bytes_returned) {
    Connection* c = (Connection*)device;
    if (c->socket < 0)
        return 0;
    if (g_tap)
        g_tap(g_tapContext, code, in, in_size, out_size);
    return ApsCarryOutRequest(&c->ports, code, in, in_size, out, out_size, bytes_returned);
}
