#include "socket_path.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int ZendraSocketPath(char* out, size_t size, int* private_folder) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    int n;
    int in_tmp = runtime == NULL || runtime[0] == '\0';
    if (in_tmp)
        n = snprintf(out, size, "/tmp/emuaps-%u/emuaps.vxd", (unsigned)getuid());
    else
        n = snprintf(out, size, "%s/emuaps.vxd", runtime);
    if (private_folder)
        *private_folder = in_tmp;
    if (n < 0 || (size_t)n >= size || n >= ZENDRA_SOCKET_PATH_MAX)
        return 1;
    return 0;
}

int ZendraControlSocketPath(char* out, size_t size, int* private_folder) {
    static const char kName[] = "emuaps.ctl";
    if (ZendraSocketPath(out, size, private_folder) != 0)
        return 1;
    char* slash = strrchr(out, '/');
    size_t folder = slash ? (size_t)(slash - out) + 1 : 0;
    if (folder + sizeof kName > size || folder + sizeof kName > ZENDRA_SOCKET_PATH_MAX)
        return 1;
    memcpy(out + folder, kName, sizeof kName);
    return 0;
}
