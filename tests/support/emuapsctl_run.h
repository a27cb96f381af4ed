// Runs the built emuapsctl against the service of a test's runtime folder.
#pragma once

#include <string>

struct EmuapsctlSaid {
    int status = -1;  // the exit status; -1 when it did not exit
    std::string text; // standard output and error
};

// args go to the shell as they are.
EmuapsctlSaid RunEmuapsctl(const std::string& runtimeDir, const std::string& args);
