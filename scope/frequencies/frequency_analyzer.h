// The spectrum of a stream of samples: the latest fftSize of them, Hann
// windowed, transformed, power averaged, read in dBFS.
#pragma once

#include "log_axis.h"
#include "power_averager.h"
#include "real_fft.h"

#include <cstddef>
#include <memory>
#include <vector>

struct CursorReading {
    std::size_t bin;
    double hz;
    double dbfs;
};

class FrequencyAnalyzer {
  public:
    static constexpr std::size_t kMinSize = 1024;
    static constexpr std::size_t kMaxSize = 65536;
    // Below every level a sample of 32 bits can show; silence reads this.
    static constexpr double kFloorDbfs = -200.0;

    explicit FrequencyAnalyzer(std::size_t fftSize = 4096);

    static bool IsSize(std::size_t fftSize);
    // False, and nothing changes, for a size that is not a power of two from
    // kMinSize to kMaxSize. The latest samples carry over.
    bool setFftSize(std::size_t fftSize);
    std::size_t fftSize() const { return fft_->size(); }
    void setAverageDepth(std::size_t depth);
    std::size_t averageDepth() const { return averager_.depth(); }

    // Fractions of full scale, oldest first, continuing the last call.
    void feed(const double* samples, std::size_t count);
    void restart();
    // Up to fftSize: the samples held for the next spectrum.
    std::size_t samplesHeld() const { return held_; }

    // A new spectrum of the latest fftSize samples, if new ones came since the
    // last and there are enough; says whether it made one.
    bool update();
    bool hasSpectrum() const { return !averager_.average().empty(); }
    // The averaged level of bin k (clamped to the bins there are); a full-scale
    // sine centred on a bin reads 0 there.
    double levelDbfs(std::size_t bin) const;
    // The strongest bin from 20 Hz up; 0 without a spectrum.
    std::size_t peakBin() const;
    // The strongest bin of the pixel column at x, as the plot draws it.
    CursorReading readingAt(const LogAxis& axis, double x) const;

  private:
    double toDbfs(double power) const;

    std::unique_ptr<RealFft> fft_;
    std::vector<double> window_;
    double powerScale_ = 1.0;
    std::vector<double> ring_; // the latest samples, ring_[next_] oldest once full
    std::size_t next_ = 0;
    std::size_t held_ = 0;
    bool fresh_ = false;
    std::vector<double> powers_;
    PowerAverager averager_;
};
