// FileSysMan: the private copy of the sound driver's effects library. The
// effect programs are always read from a copy of eapsfx.dll that the program
// makes on its first run in a folder, never from the driver's own file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Puts a text on the splash window (a CR LF starts a new line).
using LibraryNotice = std::function<void(const std::string&)>;

// The two-line notice of the first run.
extern const char* const kFirstRunNotice;

struct LibraryFolders {
    std::string program;  // the copy normally lives here
    std::string system;   // the sound driver's library, the source of the copy
    std::string userData; // the copy's place when the program folder is read-only
};

struct PreparedLibrary {
    enum class Source { ExistingCopy, NewCopy, NoLibrary, CopyFailed };
    Source source = Source::NoLibrary;
    std::string scanned;       // the path handed to the reader
    std::string systemLibrary; // where the copy comes from
    std::string systemMissing; // why there was none to copy: "does not exist", "is a FIFO"
    std::string folders;       // where a copy was tried, for the reason text
    int32_t scanStatus = 0;
};

// Makes sure the private copy exists (copying it, after the notice, on the
// first run) and scans it with the process-wide effects reader.
PreparedLibrary PrepareEffectsLibrary(const LibraryFolders& folders, const LibraryNotice& notice);

// The same for the running program: its own folder, the platform's system
// folder, the per-user data folder and the notice set by start-up.
PreparedLibrary PrepareEffectsLibrary();

// Start-up points this at the splash window while it is up; empty: no notice.
void SetLibraryNotice(LibraryNotice notice);

// Why the effects window has no effect program to list; empty when it has.
std::vector<std::string> EmptyLibraryReason(const PreparedLibrary& library, int32_t effectCount);
