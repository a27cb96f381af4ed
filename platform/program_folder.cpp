#include "program_folder.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return ".";
    return exe.parent_path().string();
}

std::string SystemFolderOf(const std::string& programFolder) {
    // The build tree has the program folder bin/ beside share/; an installed
    // tree has it in lib/velmora/, two levels below share/.
    const fs::path folder(programFolder);
    const fs::path candidates[] = {folder / ".." / "share" / "emuaps",
                                   folder / ".." / ".." / "share" / "emuaps"};
    for (const fs::path& candidate : candidates) {
        std::error_code ec;
        if (fs::is_directory(candidate, ec))
            return candidate.lexically_normal().string();
    }
    return candidates[0].lexically_normal().string();
}

// On Linux there is no Windows system folder; the driver's files are kept in
// share/emuaps of the tree that holds the program.
std::string SystemFolder() {
    return SystemFolderOf(ProgramFolder());
}
