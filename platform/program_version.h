// The version line the command-line programs print for --version, from the
// one project version.
#pragma once

#include <string>

// "PROGRAM (Velmora) 0.1.10"
std::string VersionLine(const std::string& program);
