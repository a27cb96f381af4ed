// FXDLLReader: finds the effect programs that the sound driver's effects
// library carries as RIFX blocks (big-endian RIFF, form type "PTXT") by
// searching its raw bytes for the signature, and parses them one at a time.
//
// Beyond the plain format the reader guarantees: no read past the end of the
// file or of a list. A chunk that starts inside its RIFX block is read whole
// when it lies in the file, even where it runs past the block's declared end;
// the first chunk that does not fit in the file (or in its list) stops the
// parse, and the lists read before it keep their contents. Every effect
// program in the file is listed; odd word lists give their whole words; code
// chunks give their whole 9-byte entries; a ckid without a third string gets
// a visible stand-in name.
#pragma once

#include "effect_program.h"
#include "library_file.h"

#include <cstdint>
#include <string>
#include <vector>

// Status codes of the reader.
constexpr int32_t kEffectsDone = 0;
constexpr int32_t kNoEffectProgram = 1; // scan: nothing found
constexpr int32_t kParseStopped = 1;    // parse: a chunk could not be read
constexpr int32_t kEffectMalformed = 100;

// The library is searched in windows of this size, each overlapping the one
// before by the length of the signature, so only one window is in memory.
constexpr int kScanWindowBytes = 32768;
constexpr int kScanWindowStep = kScanWindowBytes - 4;

class FxDllReader {
  public:
    // Lists and parses every effect program of the library at path, which
    // stays open for later parses. 0: all found and parsed; 1: no effect
    // program (or no readable file); 100: an effect program is malformed.
    int32_t Scan(const std::string& path);

    // Reads the effect program of that directory entry into Current().
    // 0: done; 1: a chunk stopped the parse (what came before it is kept).
    int32_t Parse(int32_t index);

    const std::vector<EffectEntry>& Directory() const { return directory_; }
    const EffectTables& Current() const { return current_; }

  private:
    bool ParseChunks(int64_t signature, uint32_t rifxSize);
    bool ReadName(int64_t signature, std::string& name) const;

    LibraryFile file_;
    std::vector<EffectEntry> directory_;
    EffectTables current_;
};

// The process-wide reader: the one library of the run, its directory and the
// current effect.
FxDllReader& EffectsReader();

int32_t ScanEffectsLibrary(const std::string& path);
int32_t ParseEffect(int32_t index);
const std::vector<EffectEntry>& EffectDirectory();
int32_t EffectCount();
const EffectTables& CurrentEffect();
