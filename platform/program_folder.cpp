#include "program_folder.h"

#include <filesystem>

std::string ProgramFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return ".";
    return exe.parent_path().string();
}

// On Linux there is no Windows system folder; the driver's files are installed
// beside the program tree instead.
std::string SystemFolder() {
    return (std::filesystem::path(ProgramFolder()) / ".." / "share" / "emuaps")
        .lexically_normal()
        .string();
}
