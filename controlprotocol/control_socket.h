// Where emuapsd's control side listens and whom it serves: the socket
// emuaps.ctl beside the device's (in the same folder, which only the user
// reaches), for clients of the service's own user only.
#pragma once

#include <cstddef>

// Writes the control socket's path into out, as ZendraSocketPath writes the
// device's: *privateFolder (if not null) becomes 1 for the /tmp form, whose
// folder must be the user's own. Returns 0, or 1 when it does not fit.
int ControlSocketPath(char* out, std::size_t size, int* privateFolder);

// Whether the peer on a connected socket may be served: the same user.
bool ControlPeerAllowed(int fd);
