#include "effects_library.h"

#include "checked_file.h"
#include "fx_dll_reader.h"
#include "program_folder.h"
#include "user_data_folder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

const char* const kFirstRunNotice =
    "Please, wait a bit...\r\nYou are running Velmora for a first time.";

namespace {

constexpr const char* kLibraryName = "eapsfx.dll";

LibraryNotice& Notice() {
    static LibraryNotice notice;
    return notice;
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Why a path is no library to copy: absent, or something other than a file.
std::string WhyNoFile(const fs::path& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? "does not exist"
                               : std::string("cannot be read: ") + std::strerror(errno);
    return "is " + FileKindProblem(st.st_mode) + ", not a file";
}

// Copies through a temporary name and renames, so a copy cut short (a full
// disk) never stands as the private copy of later runs.
bool CopyInto(const fs::path& source, const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path target = folder / kLibraryName;
    const fs::path partial = folder / (std::string(kLibraryName) + ".part");
    if (!fs::copy_file(source, partial, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(partial, ec);
        return false;
    }
    fs::rename(partial, target, ec);
    if (ec) {
        fs::remove(partial, ec);
        return false;
    }
    return true;
}

} // namespace

PreparedLibrary PrepareEffectsLibrary(const LibraryFolders& folders, const LibraryNotice& notice) {
    using Source = PreparedLibrary::Source;
    PreparedLibrary result;
    const fs::path local = fs::path(folders.program) / kLibraryName;
    const fs::path userCopy =
        folders.userData.empty() ? fs::path() : fs::path(folders.userData) / kLibraryName;
    const fs::path system = fs::path(folders.system) / kLibraryName;
    result.systemLibrary = system.string();
    result.folders = folders.program;
    if (!folders.userData.empty())
        result.folders += " or " + folders.userData;
    result.scanned = local.string();

    if (IsFile(local)) {
        result.source = Source::ExistingCopy;
    } else if (!userCopy.empty() && IsFile(userCopy)) {
        result.source = Source::ExistingCopy;
        result.scanned = userCopy.string();
    } else {
        if (notice)
            notice(kFirstRunNotice);
        if (!IsFile(system)) {
            result.source = Source::NoLibrary;
            result.systemMissing = WhyNoFile(system);
        } else if (CopyInto(system, folders.program)) {
            result.source = Source::NewCopy;
        } else if (!userCopy.empty() && CopyInto(system, folders.userData)) {
            result.source = Source::NewCopy;
            result.scanned = userCopy.string();
        } else {
            result.source = Source::CopyFailed;
        }
    }
    // Without a copy this scans a missing file, which leaves an empty directory.
    result.scanStatus = ScanEffectsLibrary(result.scanned);
    return result;
}

PreparedLibrary PrepareEffectsLibrary() {
    return PrepareEffectsLibrary({ProgramFolder(), SystemFolder(), UserDataFolder()}, Notice());
}

void SetLibraryNotice(LibraryNotice notice) {
    Notice() = std::move(notice);
}

std::vector<std::string> EmptyLibraryReason(const PreparedLibrary& library, int32_t effectCount) {
    using Source = PreparedLibrary::Source;
    if (effectCount > 0)
        return {};
    switch (library.source) {
    case Source::NoLibrary:
        return {"No effects library to show:",
                library.systemLibrary + " " +
                    (library.systemMissing.empty() ? "does not exist" : library.systemMissing) +
                    "."};
    case Source::CopyFailed:
        return {"The effects library " + library.systemLibrary,
                "could not be copied to " + library.folders + "."};
    default:
        return {library.scanned + " holds no effect programs."};
    }
}
