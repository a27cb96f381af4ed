// Where the driver service listens and where the library looks for it: one
// Unix-domain socket per user, so the service and its clients always agree.
#ifndef ZENDRA_SOCKET_PATH_H
#define ZENDRA_SOCKET_PATH_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { ZENDRA_SOCKET_PATH_MAX = 108 };

// Writes $XDG_RUNTIME_DIR/emuaps.vxd, or /tmp/emuaps-<uid>/emuaps.vxd when
// XDG_RUNTIME_DIR is unset or empty, into out. *private_folder (if not null)
// becomes 1 for the /tmp form, whose folder must be the user's own with mode
// 0700. Returns 0, or 1 when the path does not fit into size bytes or a
// socket address.
int ZendraSocketPath(char* out, size_t size, int* private_folder);
// The same folder's file of that name: emuapsd's other files sit beside its
// socket, where only the user reaches them. Returns 0, or 1 when it does not fit.
int ZendraRuntimeFilePath(const char* name, char* out, size_t size, int* private_folder);

// The names of the files beside the socket, for a client that knows the
// service's folder from its socket (a private one).
#define ZENDRA_PROGRAM_SYMBOLS_FILE "emuaps.d"
#define ZENDRA_SOURCE_MAP_FILE "emuaps.lines"

// The symbol file of the program emuapsd placed on its chip.
int ZendraProgramSymbolsPath(char* out, size_t size);
// Which source line made each of its instructions, when it came as source.
int ZendraSourceMapPath(char* out, size_t size);

#ifdef __cplusplus
}
#endif

#endif
