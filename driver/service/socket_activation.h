// Socket activation: started by systemd (or systemd-socket-activate) for the
// socket unit, the service is handed its listening socket instead of making
// one, following the LISTEN_FDS protocol.
#pragma once

#include <string>

struct ActivatedSocket {
    int fd = -1;        // the device's listening socket; -1 when the service was not activated
    int controlFd = -1; // the control socket (emuaps.ctl), when one was handed over too
    std::string error;  // set when it was, but a socket handed over is unfit
};

// Takes the sockets handed over (from fd 3) when LISTEN_PID names this
// process, and clears the protocol's variables so that no child takes them
// for its own. The socket unit's two ListenStreams come under one name in
// LISTEN_FDNAMES (the unit's), so each is told by the name it is bound to.
ActivatedSocket TakeActivatedSocket();
