// A trace written to a file: WAV, float32, one channel a register, each as a
// fraction of full scale; or CSV (sample number, then a column a register,
// the values as integers, a TRAM data register's as its 20-bit sample) when
// the name ends in ".csv". Written beside the file and renamed over it, so
// that nothing half written is ever left under its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TraceTable {
    uint64_t first = 0;                        // the sample number of the first row
    std::vector<uint32_t> registers;           // operands, one a column
    std::vector<std::string> headers;          // their names, for CSV
    std::vector<std::vector<int32_t>> columns; // values as the DSP sees them
};

// Why path cannot take a trace ("" when it can): it must be absolute, not a
// folder, a FIFO or another file that is not a regular one, and writable in
// a folder that exists.
std::string TraceTargetProblem(const std::string& path);
bool IsCsvPath(const std::string& path);
// "" or why not; on failure the file is as it was.
std::string WriteTraceFile(const std::string& path, const TraceTable& table, int sampleRate);
