// A listening Unix-domain socket at a path of the service's own: refused
// when another service listens there, and accepting as soon as its name
// exists. Both of the service's sockets are made this way.
#pragma once

#include <string>

// Listens at path (mode 0600, non-blocking); *fd receives the socket.
// Returns an error text, or "" on success.
std::string ListenAt(const std::string& path, int* fd);
