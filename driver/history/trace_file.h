// A trace written to a file: WAV, float32, one channel a register, each as a
// fraction of full scale; or CSV (sample number, then a column a register,
// the values as integers, a TRAM data register's as its 20-bit sample) when
// the name ends in ".csv". Written a piece at a time beside the file and
// renamed over it once whole, so that nothing half written is ever left
// under its name. A FILE that is a symbolic link is written through it: the
// file it names is replaced, and an existing file keeps its mode and owner.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

typedef struct sf_private_tag SNDFILE;

// Where path's trace goes: the file it names, through any symbolic links.
struct TraceTarget {
    std::string path; // as asked for
    std::string file; // the one written
    bool exists = false;
    mode_t mode = 0644; // kept from an existing file
    uid_t owner = 0;
    gid_t group = 0;
};

// Why path cannot take a trace ("" when it can), else where it goes: path
// must be absolute, not a folder, a FIFO or another file that is not a
// regular one, and one the user may write, in a folder they may write in.
std::string ResolveTraceTarget(const std::string& path, TraceTarget* target);
bool IsCsvPath(const std::string& path);

class TraceWriter {
  public:
    TraceWriter() = default;
    ~TraceWriter(); // an unfinished file is removed, the target as it was
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Begins the file beside the target; "" or why not. registers are the
    // operands, one a column; headers their names, for CSV.
    std::string Open(const TraceTarget& target, const std::vector<uint32_t>& registers,
                     const std::vector<std::string>& headers, int sampleRate);
    // rows x stride values, each row the registers' values in order, as
    // the DSP sees them, from sample first on; "" or why not.
    std::string Write(uint64_t first, const int32_t* values, int64_t rows, std::size_t stride);
    // Puts the file in the target's place; "" or why not.
    std::string Finish();

  private:
    void Abandon();

    TraceTarget target_;
    std::string temp_;
    std::vector<uint32_t> registers_;
    FILE* csv_ = nullptr;
    SNDFILE* wav_ = nullptr;
    std::vector<float> frames_;
    std::string line_;
};
