#include "socket_folder.h"

#include "socket_path.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::string PrepareSocketFolder(const std::string& socketPath, bool privateFolder) {
    std::string folder = socketPath.substr(0, socketPath.rfind('/'));
    if (!privateFolder)
        return "";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create " + folder + ": " + std::strerror(errno);
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0)
        return "cannot examine " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return folder + " is not a folder";
    if (st.st_uid != geteuid())
        return folder + " belongs to another user";
    if ((st.st_mode & 077) != 0)
        return folder + " is open to other users (its mode must be 0700)";
    return "";
}

std::string ReadySocketPath(int (*name)(char*, std::size_t, int*), const std::string& what,
                            std::string* error) {
    char path[ZENDRA_SOCKET_PATH_MAX];
    int privateFolder = 0;
    if (name(path, sizeof path, &privateFolder) != 0) {
        *error = what + " is too long";
        return "";
    }
    *error = PrepareSocketFolder(path, privateFolder != 0);
    return error->empty() ? path : "";
}
