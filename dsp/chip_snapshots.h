// The program's copies of the DSP register memory (0x100 to 0x2FF) and of its
// microcode (512 instructions), each with four earlier images. Windows read
// them directly; only the two Read operations change them.
#pragma once

#include "program_symbols.h"
#include "snapshot_history.h"
#include "zendra.h"

#include <cstdint>
#include <functional>

using GprHistory = SnapshotHistory<int32_t>;
// Each code image keeps the placed program's names it was read under, so an
// earlier instruction is named as its own load named it.
using CodeHistory = SnapshotHistory<MicrocodeInstruction, ProgramNames>;

// The first register of the register image.
constexpr int32_t kGprSnapshotFirst = 0x100;

const GprHistory& GprSnapshot();
const CodeHistory& CodeSnapshot();

// Age the history and read the chip through Zendra; return 0. A failed read
// ends the program at once, with one line on standard error.
int ReadGprSnapshot();
int ReadCodeSnapshot();

// 1 when any of the five fields differ, else 0.
int InstructionDiffers(const MicrocodeInstruction& first, const MicrocodeInstruction& second);

// The library read a snapshot uses: fills 512 items, returns 0 when done.
template <typename Item> using LibraryRead = std::function<int32_t(Item* destination)>;

// Ages history and fills it with read (the code under
// CurrentProgramSymbols()); a non-zero result ends the program at once:
// "velmora: " and kSnapshotReadFailedReason on standard error, then the
// notice (if one is set), then exit status kSnapshotReadFailed. Returns 0.
constexpr int kSnapshotReadFailed = 1;
constexpr const char* kSnapshotReadFailedReason =
    "the driver service was lost; the chip cannot be read";
// What tells a person the reason before the program ends (the viewer's box).
void SetSnapshotFailureNotice(std::function<void(const char* reason)> notice);
int RefreshOrEnd(GprHistory& history, const LibraryRead<int32_t>& read);
int RefreshOrEnd(CodeHistory& history, const LibraryRead<MicrocodeInstruction>& read);
