#include "frequency_analyzer.h"

#include "frequency_bins.h"
#include "hann_window.h"

#include <algorithm>
#include <cmath>
#include <numeric>

FrequencyAnalyzer::FrequencyAnalyzer(std::size_t fftSize) {
    if (!setFftSize(fftSize))
        setFftSize(4096);
}

bool FrequencyAnalyzer::IsSize(std::size_t fftSize) {
    return fftSize >= kMinSize && fftSize <= kMaxSize && (fftSize & (fftSize - 1)) == 0;
}

bool FrequencyAnalyzer::setFftSize(std::size_t fftSize) {
    if (!IsSize(fftSize))
        return false;
    if (fft_ && fft_->size() == fftSize)
        return true;
    // Keep the latest samples, oldest first, in a ring of the new size.
    std::vector<double> ring(fftSize, 0.0);
    const std::size_t keep = std::min(held_, fftSize);
    for (std::size_t i = 0; i < keep; ++i)
        ring[i] = ring_[(next_ + ring_.size() - keep + i) % ring_.size()];
    ring_ = std::move(ring);
    held_ = keep;
    next_ = keep % fftSize;
    fresh_ = true;

    fft_ = std::make_unique<RealFft>(fftSize);
    window_ = HannWindow(fftSize);
    // A sine of amplitude A centred on bin k gives |X[k]| = A * sum(w) / 2:
    // scale the power so that it reads A^2.
    const double sum = std::accumulate(window_.begin(), window_.end(), 0.0);
    powerScale_ = 4.0 / (sum * sum);
    averager_.clear();
    return true;
}

void FrequencyAnalyzer::setAverageDepth(std::size_t depth) {
    averager_.setDepth(depth);
}

void FrequencyAnalyzer::feed(const double* samples, std::size_t count) {
    if (count == 0)
        return;
    // Only the latest fftSize samples can reach a spectrum.
    const std::size_t size = ring_.size();
    if (count > size) {
        samples += count - size;
        count = size;
    }
    for (std::size_t i = 0; i < count; ++i) {
        ring_[next_] = samples[i];
        next_ = (next_ + 1) % size;
    }
    held_ = std::min(size, held_ + count);
    fresh_ = true;
}

void FrequencyAnalyzer::restart() {
    std::fill(ring_.begin(), ring_.end(), 0.0);
    next_ = 0;
    held_ = 0;
    fresh_ = false;
    averager_.clear();
}

bool FrequencyAnalyzer::update() {
    const std::size_t size = ring_.size();
    if (!fresh_ || held_ < size)
        return false;
    double* in = fft_->input();
    for (std::size_t i = 0; i < size; ++i)
        in[i] = ring_[(next_ + i) % size] * window_[i];
    fft_->powers(powers_);
    averager_.add(powers_);
    fresh_ = false;
    return true;
}

double FrequencyAnalyzer::toDbfs(double power) const {
    const double scaled = power * powerScale_;
    if (!(scaled > 0.0))
        return kFloorDbfs;
    return std::max(kFloorDbfs, 10.0 * std::log10(scaled));
}

double FrequencyAnalyzer::levelDbfs(std::size_t bin) const {
    const std::vector<double>& average = averager_.average();
    if (average.empty())
        return kFloorDbfs;
    return toDbfs(average[std::min(bin, average.size() - 1)]);
}

std::size_t FrequencyAnalyzer::peakBin() const {
    const std::vector<double>& average = averager_.average();
    const std::size_t first = std::max<std::size_t>(1, BinNearest(LogAxis::kLowHz, fftSize()));
    if (average.size() <= first)
        return 0;
    return static_cast<std::size_t>(std::max_element(average.begin() + first, average.end()) -
                                    average.begin());
}

CursorReading FrequencyAnalyzer::readingAt(const LogAxis& axis, double x) const {
    const BinRange range = BinsOfColumn(axis, x, fftSize());
    std::size_t best = range.first;
    const std::vector<double>& average = averager_.average();
    for (std::size_t k = range.first; k <= range.last && k < average.size(); ++k)
        if (average[k] > average[best])
            best = k;
    return {best, BinFrequency(best, fftSize()), levelDbfs(best)};
}
