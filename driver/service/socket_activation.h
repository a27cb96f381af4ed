// Socket activation: started by systemd (or systemd-socket-activate) for the
// socket unit, the service is handed its listening socket instead of making
// one, following the LISTEN_FDS protocol.
#pragma once

#include <string>

struct ActivatedSocket {
    int fd = -1;       // the listening socket; -1 when the service was not activated
    std::string error; // set when it was, but the socket handed over is unfit
};

// Takes the socket handed over (fd 3) when LISTEN_PID names this process, and
// clears the protocol's variables so that no child takes them for its own.
ActivatedSocket TakeActivatedSocket();
