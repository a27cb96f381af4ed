#include "support/emuapsctl_run.h"

#include <cstdio>
#include <sys/wait.h>

EmuapsctlSaid RunEmuapsctl(const std::string& runtimeDir, const std::string& args) {
    const std::string command = "XDG_RUNTIME_DIR='" + runtimeDir + "' '" VELMORA_PROGRAM_DIR +
                                std::string("/emuapsctl' ") + args + " 2>&1";
    FILE* out = popen(command.c_str(), "r");
    EmuapsctlSaid said;
    char buffer[512];
    while (out && fgets(buffer, sizeof buffer, out))
        said.text += buffer;
    const int status = out ? pclose(out) : -1;
    if (status >= 0 && WIFEXITED(status))
        said.status = WEXITSTATUS(status);
    return said;
}
