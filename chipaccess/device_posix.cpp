// The device on Linux: the driver service emuapsd, reached through its
// Unix-domain socket. Connecting opens the device; the service then hands
// over a shared-memory slot through which every request travels.
#include "aps_channel.h"
#include "aps_device.h"
#include "socket_path.h"

#include <poll.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

struct Connection {
    int socket;
    ApsSlot* slot;
    uint32_t seq;
    bool dead; // once the service is gone, every later request fails at once
};

// Handles are never closed, so connections live in a fixed table rather than
// on the heap; an entry is reused only once its service has hung up.
const int kMaxConnections = 8;
Connection g_connections[kMaxConnections];

const int kHandshakeTimeoutMs = 2000;
const uint64_t kSpinNs = 50 * 1000;
const uint64_t kFutexTimeoutNs = 20 * 1000 * 1000;
// A service that is alive but silent this long is taken for dead too.
const uint64_t kGiveUpNs = 10ull * 1000 * 1000 * 1000;

int ConnectTo(const char* path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct sockaddr_un addr;
    memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    size_t len = strlen(path);
    if (len >= sizeof addr.sun_path) {
        close(fd);
        return -1;
    }
    memcpy(addr.sun_path, path, len + 1);
    if (connect(fd, (struct sockaddr*)&addr, sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Someone else's process listening at our path is not our driver.
bool ServiceIsOurs(int fd) {
    struct ucred cred;
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
        return false;
    return cred.uid == geteuid();
}

bool SendHello(int fd) {
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    return send(fd, &hello, sizeof hello, MSG_NOSIGNAL) == (ssize_t)sizeof hello;
}

// Receives the welcome and the slot's memfd; returns the fd or -1.
int ReceiveSlotFd(int fd) {
    struct pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, kHandshakeTimeoutMs) != 1)
        return -1;
    ApsWelcome welcome;
    struct iovec iov = {&welcome, sizeof welcome};
    union {
        struct cmsghdr align;
        char bytes[CMSG_SPACE(sizeof(int) * 4)];
    } control;
    struct msghdr msg;
    memset(&msg, 0, sizeof msg);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control.bytes;
    msg.msg_controllen = sizeof control.bytes;
    ssize_t n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    int slot_fd = -1;
    for (struct cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int received;
            memcpy(&received, CMSG_DATA(c) + i * sizeof(int), sizeof received);
            if (slot_fd < 0)
                slot_fd = received;
            else
                close(received);
        }
    }
    bool ok = n == (ssize_t)sizeof welcome && !(msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) &&
              welcome.magic == APS_HELLO_MAGIC && welcome.version == APS_PROTOCOL_VERSION &&
              welcome.status == APS_WELCOME_OK && welcome.slot_size == APS_SLOT_SIZE;
    if (!ok && slot_fd >= 0) {
        close(slot_fd);
        slot_fd = -1;
    }
    return slot_fd;
}

ApsSlot* MapSlot(int slot_fd) {
    struct stat st;
    if (fstat(slot_fd, &st) != 0 || st.st_size < (off_t)APS_SLOT_SIZE)
        return nullptr;
    void* p = mmap(nullptr, APS_SLOT_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, slot_fd, 0);
    if (p == MAP_FAILED)
        return nullptr;
    ApsSlot* slot = (ApsSlot*)p;
    if (slot->magic != APS_SLOT_MAGIC || slot->version != APS_PROTOCOL_VERSION) {
        munmap(p, APS_SLOT_SIZE);
        return nullptr;
    }
    return slot;
}

// The service never writes to the socket after the handshake, so anything
// readable there is its end of file.
bool ServiceGone(int fd) {
    struct pollfd p = {fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 0) < 0)
        return true;
    return (p.revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool AwaitReply(Connection* c, uint32_t seq) {
    ApsSlot* s = c->slot;
    uint32_t before = seq - 1;
    uint32_t v = ApsSpinWhile(&s->reply_seq, before, kSpinNs);
    uint64_t give_up = 0;
    while (v == before) {
        ApsStore(&s->client_waiting, 1);
        if (ApsLoad(&s->reply_seq) == before)
            ApsFutexWait(&s->reply_seq, before, kFutexTimeoutNs);
        ApsStore(&s->client_waiting, 0);
        v = ApsLoad(&s->reply_seq);
        if (v != before)
            break;
        if (ServiceGone(c->socket))
            return false;
        uint64_t now = ApsNowNs();
        if (give_up == 0)
            give_up = now + kGiveUpNs;
        else if (now >= give_up)
            return false;
    }
    return v == seq;
}

Connection* FreeConnection() {
    for (Connection& c : g_connections) {
        if (c.slot && !c.dead && !ServiceGone(c.socket))
            continue;
        if (c.slot) {
            munmap(c.slot, APS_SLOT_SIZE);
            close(c.socket);
            c.slot = nullptr;
        }
        return &c;
    }
    return nullptr;
}

} // namespace

ApsDeviceHandle ApsDeviceOpen(void) {
    char path[ZENDRA_SOCKET_PATH_MAX];
    if (ZendraSocketPath(path, sizeof path, nullptr) != 0)
        return APS_INVALID_HANDLE;
    int fd = ConnectTo(path);
    if (fd < 0)
        return APS_INVALID_HANDLE;
    int slot_fd = -1;
    ApsSlot* slot = nullptr;
    Connection* c = nullptr;
    if (ServiceIsOurs(fd) && SendHello(fd))
        slot_fd = ReceiveSlotFd(fd);
    if (slot_fd >= 0) {
        slot = MapSlot(slot_fd);
        close(slot_fd);
    }
    if (slot)
        c = FreeConnection();
    if (!c) {
        if (slot)
            munmap(slot, APS_SLOT_SIZE);
        close(fd);
        return APS_INVALID_HANDLE;
    }
    c->socket = fd;
    c->slot = slot;
    c->seq = ApsLoad(&slot->reply_seq);
    c->dead = false;
    return (ApsDeviceHandle)c;
}

int ApsDeviceControl(ApsDeviceHandle device, uint32_t code, const void* in, uint32_t in_size,
                     void* out, uint32_t out_size, uint32_t* bytes_returned) {
    Connection* c = (Connection*)device;
    if (c->dead || in_size > APS_SLOT_INPUT_MAX)
        return 0;
    ApsSlot* s = c->slot;
    s->code = code;
    s->in_size = in_size;
    s->out_size = out_size;
    memcpy(s->input, in, in_size);
    uint32_t seq = ++c->seq;
    ApsStore(&s->request_seq, seq);
    if (ApsLoad(&s->server_waiting))
        ApsFutexWake(&s->request_seq);
    if (!AwaitReply(c, seq)) {
        c->dead = true;
        return 0;
    }
    if (s->status != 0)
        return 0;
    uint32_t returned = s->bytes_returned;
    if (returned > out_size || returned > sizeof s->output)
        return 0;
    if (out && returned)
        memcpy(out, &s->output, returned);
    if (bytes_returned)
        *bytes_returned = returned;
    return 1;
}
