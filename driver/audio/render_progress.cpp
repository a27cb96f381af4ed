#include "render_progress.h"

#include <cstdio>
#include <unistd.h>

std::string ProgressText(int64_t done, int64_t total, int sampleRate) {
    constexpr int kBar = 20;
    int percent = total > 0 ? int(done * 100 / total) : 100;
    std::string bar(std::size_t(percent * kBar / 100), '#');
    bar.resize(kBar, ' ');
    char text[96];
    std::snprintf(text, sizeof text, "rendering %3d%% [%s] %.1f of %.1f s", percent, bar.c_str(),
                  double(done) / sampleRate, double(total) / sampleRate);
    return text;
}

RenderProgress::RenderProgress(int64_t total, int sampleRate)
    : terminal_(isatty(STDERR_FILENO) == 1), total_(total), sampleRate_(sampleRate) {}

RenderProgress::~RenderProgress() {
    if (terminal_ && shown_ >= 0)
        std::fputs("\n", stderr);
}

void RenderProgress::Show(int64_t done) {
    if (!terminal_)
        return;
    int percent = total_ > 0 ? int(done * 100 / total_) : 100;
    if (percent == shown_)
        return;
    shown_ = percent;
    std::fprintf(stderr, "\remuapsd: %s", ProgressText(done, total_, sampleRate_).c_str());
    std::fflush(stderr);
}
