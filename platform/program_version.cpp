#include "program_version.h"

std::string VersionLine(const std::string& program) {
    return program + " (Velmora) " VELMORA_VERSION;
}
