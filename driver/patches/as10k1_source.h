// An as10k1 source given where a patch is: emuapsd runs Debian's as10k1
// (alsa-tools) on it in a private temporary folder and takes the patch, its
// names (the dump) and which line made each instruction (the listing).
#pragma once

#include "as10k1_names.h"
#include "as10k1_patch.h"
#include "source_map.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A file is a source when it is not a binary patch and is named .asm or
// reads as text.
bool IsAs10k1Source(const std::string& path, const std::string& bytes);

// What as10k1 wrote, or why it did not run or what it said was wrong.
struct As10k1Run {
    std::string patch, dump, listing;
    std::string error;
};
// How long as10k1 may take before it is stopped: a source it hangs on must
// not hold up a reload for ever.
inline constexpr std::chrono::milliseconds kAs10k1Limit{10000};
// Runs the first as10k1 on PATH in the source's folder (its includes are
// found there), with its files in a temporary folder removed after.
As10k1Run RunAs10k1(const std::string& sourcePath, std::chrono::milliseconds limit = kAs10k1Limit);

// as10k1's complaint, out and err being what it wrote to each, as
// "echo.asm:3: Bad operand; Parse error with operand: "zz" (macs x,x,zz,x)"
// with the source as the user named it.
std::string As10k1ErrorText(const std::string& out, const std::string& err,
                            const std::string& sourcePath);

// Where a file the source at sourcePath names (an include) is: beside it
// unless its name is absolute, as as10k1 finds it.
std::string IncludedPath(const std::string& sourcePath, const std::string& name);

// A patch file or a source, read and, for a source, assembled.
struct PatchFile {
    As10k1PatchResult patch;
    bool source = false;
    std::optional<As10k1Names> names; // a source's, from as10k1's dump
    std::vector<SourceFile> files;    // a source's own lines, and its includes'
    std::vector<SourcePlace> lines;   // by the patch's own instruction index
};
PatchFile LoadPatchFile(const std::string& path);

// The map of a source's lines once its code starts at chip address first.
SourceMap PlacedSource(const PatchFile& file, uint32_t first);
