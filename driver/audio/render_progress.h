// A render's progress on a terminal: one line on standard error, redrawn as
// the percentage grows; nothing at all when standard error is not a terminal
// (a log file gets no lines of carriage returns).
#pragma once

#include <cstdint>
#include <string>

// "rendering  42% [########            ] 25.2 of 60.0 s"
std::string ProgressText(int64_t done, int64_t total, int sampleRate);

class RenderProgress {
  public:
    RenderProgress(int64_t total, int sampleRate);
    ~RenderProgress(); // ends the line
    void Show(int64_t done);

  private:
    bool terminal_;
    int64_t total_;
    int sampleRate_;
    int shown_ = -1; // the percentage on the line
};
