// Runs the built emuapsd to its end for tests of its command line: its own
// runtime folder, its standard error in a log file there.
#pragma once

#include "support/temp_dir.h"

#include <string>
#include <vector>

struct EmuapsdRun {
    int status = -1; // the exit code; -1 when it had to be killed
    double seconds = 0;
    long maxRssKb = 0;
    std::string log;
};

// Runs VELMORA_PROGRAM_DIR/emuapsd args with dir as its runtime folder and
// its configuration folder (so dir/alsa/asoundrc is its ALSA set-up), and
// dir/emuapsd.log as its standard error; kills it after timeoutMs.
EmuapsdRun RunEmuapsdToEnd(const TempDir& dir, std::vector<std::string> args, int timeoutMs = 5000);
