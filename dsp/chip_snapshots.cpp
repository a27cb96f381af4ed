#include "chip_snapshots.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

GprHistory& GprImages() {
    static GprHistory history;
    return history;
}

CodeHistory& CodeImages() {
    static CodeHistory history;
    return history;
}

std::function<void(const char*)>& FailureNotice() {
    static std::function<void(const char*)> notice;
    return notice;
}

template <typename Item, typename Context>
int RefreshHistoryOrEnd(SnapshotHistory<Item, Context>& history, const LibraryRead<Item>& read,
                        Context context = {}) {
    // The windows cannot show a half-read image, and the chip is gone if a
    // read fails: stop before any further event runs, saying why.
    if (history.Refresh(read, std::move(context)) != 0) {
        std::fprintf(stderr, "velmora: %s\n", kSnapshotReadFailedReason);
        std::fflush(stderr);
        if (FailureNotice())
            FailureNotice()(kSnapshotReadFailedReason);
        std::_Exit(kSnapshotReadFailed);
    }
    return 0;
}

} // namespace

void SetSnapshotFailureNotice(std::function<void(const char* reason)> notice) {
    FailureNotice() = std::move(notice);
}

const GprHistory& GprSnapshot() {
    return GprImages();
}
const CodeHistory& CodeSnapshot() {
    return CodeImages();
}

int RefreshOrEnd(GprHistory& history, const LibraryRead<int32_t>& read) {
    return RefreshHistoryOrEnd(history, read);
}

int RefreshOrEnd(CodeHistory& history, const LibraryRead<MicrocodeInstruction>& read) {
    return RefreshHistoryOrEnd(history, read, CurrentProgramSymbols());
}

int ReadGprSnapshot() {
    return RefreshOrEnd(GprImages(), [](int32_t* values) {
        return ifGPRMemoryReadAll(kGprSnapshotFirst, static_cast<int32_t>(GprHistory::kSize),
                                  values);
    });
}

int ReadCodeSnapshot() {
    return RefreshOrEnd(CodeImages(), [](MicrocodeInstruction* code) {
        return ifInstrMemoryReadAll(static_cast<int32_t>(CodeHistory::kSize), code);
    });
}

int InstructionDiffers(const MicrocodeInstruction& first, const MicrocodeInstruction& second) {
    return first.Opcode != second.Opcode || first.A != second.A || first.X != second.X ||
                   first.Y != second.Y || first.R != second.R
               ? 1
               : 0;
}
