#include "user_data_folder.h"

#include <cstdlib>
#include <filesystem>

namespace {

std::string Absolute(const char* value) {
    return value && value[0] == '/' ? std::string(value) : std::string();
}

} // namespace

std::string UserDataFolder() {
    std::filesystem::path base = Absolute(std::getenv("XDG_DATA_HOME"));
    if (base.empty()) {
        std::string home = Absolute(std::getenv("HOME"));
        if (home.empty())
            return {};
        base = std::filesystem::path(home) / ".local" / "share";
    }
    return (base / "velmora").string();
}
