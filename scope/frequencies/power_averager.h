// The power average of the last N spectra: noise settles, a steady tone stays.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

class PowerAverager {
  public:
    static constexpr std::size_t kMaxDepth = 64;

    // 1 is no averaging; depths beyond 1 .. kMaxDepth are clamped into it.
    void setDepth(std::size_t depth);
    std::size_t depth() const { return depth_; }
    void clear();
    // A spectrum of another length than the ones held starts afresh.
    void add(const std::vector<double>& powers);
    // The mean of the spectra held; empty before the first.
    const std::vector<double>& average() const { return average_; }
    std::size_t count() const { return frames_.size(); }

  private:
    std::vector<double> takeOldest();
    void refreshAverage();

    std::size_t depth_ = 1;
    std::deque<std::vector<double>> frames_;
    std::vector<double> sum_;
    std::vector<double> average_;
};
