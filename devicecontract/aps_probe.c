#define _GNU_SOURCE
#include "aps_probe.h"

#include "aps_channel.h"
#include "aps_socket.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

ApsProbeAnswer ApsProbeService(const char* path, int timeoutMs, long* holderPid) {
    const struct timespec deadline = ApsDeadlineIn(timeoutMs);
    if (holderPid)
        *holderPid = 0;
    int fd = ApsConnectBy(path, &deadline);
    if (fd < 0)
        return errno == ETIMEDOUT ? APS_PROBE_STRANGER : APS_PROBE_NOBODY;
    ApsProbeAnswer answer = APS_PROBE_STRANGER;
    ApsHello probe = {APS_PROBE_MAGIC, APS_PROTOCOL_VERSION};
    ApsWelcome w;
    struct pollfd p = {fd, POLLIN, 0};
    int ready = 0;
    if (ApsPeerIsOwnUser(fd) && send(fd, &probe, sizeof probe, MSG_NOSIGNAL) == sizeof probe) {
        do
            ready = poll(&p, 1, ApsMsLeft(&deadline));
        while (ready < 0 && errno == EINTR);
    }
    if (ready == 1 && recv(fd, &w, sizeof w, MSG_DONTWAIT) == sizeof w &&
        w.magic == APS_HELLO_MAGIC && w.version == APS_PROTOCOL_VERSION) {
        if (w.status == APS_WELCOME_FREE)
            answer = APS_PROBE_FREE;
        else if (w.status == APS_WELCOME_BUSY)
            answer = APS_PROBE_HELD;
        if (answer == APS_PROBE_HELD && holderPid)
            *holderPid = (long)w.holder_pid;
    }
    close(fd);
    return answer;
}
