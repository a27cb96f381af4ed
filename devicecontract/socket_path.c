#include "socket_path.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int ZendraSocketPath(char* out, size_t size, int* private_folder) {
    return ZendraRuntimeFilePath("emuaps.vxd", out, size, private_folder);
}

int ZendraProgramSymbolsPath(char* out, size_t size) {
    return ZendraRuntimeFilePath(ZENDRA_PROGRAM_SYMBOLS_FILE, out, size, NULL);
}

int ZendraSourceMapPath(char* out, size_t size) {
    return ZendraRuntimeFilePath(ZENDRA_SOURCE_MAP_FILE, out, size, NULL);
}

int ZendraRuntimeFilePath(const char* name, char* out, size_t size, int* private_folder) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    int n;
    int in_tmp = runtime == NULL || runtime[0] == '\0';
    if (in_tmp)
        n = snprintf(out, size, "/tmp/emuaps-%u/%s", (unsigned)getuid(), name);
    else
        n = snprintf(out, size, "%s/%s", runtime, name);
    if (private_folder)
        *private_folder = in_tmp;
    if (n < 0 || (size_t)n >= size || n >= ZENDRA_SOCKET_PATH_MAX)
        return 1;
    return 0;
}
