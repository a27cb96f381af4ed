#include "control_socket.h"

#include "aps_socket.h"
#include "socket_path.h"

int ControlSocketPath(char* out, std::size_t size, int* privateFolder) {
    return ZendraRuntimeFilePath("emuaps.ctl", out, size, privateFolder);
}

bool ControlPeerAllowed(int fd) {
    return ApsPeerIsOwnUser(fd) != 0;
}
