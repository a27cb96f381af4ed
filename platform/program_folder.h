// Where the program's own files live. Every path the program builds starts
// from the folder of its executable; nothing comes from the environment.
#pragma once

#include <string>

// The folder that holds the running executable, without a trailing slash.
std::string ProgramFolder();

// The platform's system folder, where the sound driver keeps its effects
// library: share/emuaps beside the program folder (the build tree's bin/) or
// two levels up (an installed tree's lib/velmora/); the first that exists.
std::string SystemFolder();
std::string SystemFolderOf(const std::string& programFolder);
