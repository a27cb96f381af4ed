#include "power_averager.h"

#include <algorithm>

void PowerAverager::setDepth(std::size_t depth) {
    depth_ = std::clamp<std::size_t>(depth, 1, kMaxDepth);
    if (frames_.size() > depth_) {
        while (frames_.size() > depth_)
            takeOldest();
        refreshAverage();
    }
}

void PowerAverager::clear() {
    frames_.clear();
    sum_.clear();
    average_.clear();
}

void PowerAverager::add(const std::vector<double>& powers) {
    if (!frames_.empty() && frames_.front().size() != powers.size())
        clear();
    // Reuse the oldest frame's storage: no allocation per spectrum.
    std::vector<double> frame = frames_.size() >= depth_ ? takeOldest() : std::vector<double>{};
    frame.assign(powers.begin(), powers.end());
    sum_.resize(powers.size(), 0.0);
    for (std::size_t k = 0; k < powers.size(); ++k)
        sum_[k] += powers[k];
    frames_.push_back(std::move(frame));
    refreshAverage();
}

std::vector<double> PowerAverager::takeOldest() {
    std::vector<double> oldest = std::move(frames_.front());
    frames_.pop_front();
    if (frames_.empty()) {
        std::fill(sum_.begin(), sum_.end(), 0.0);
        return oldest;
    }
    // Rounding can leave a hair below zero where the sum cancels out.
    for (std::size_t k = 0; k < oldest.size() && k < sum_.size(); ++k)
        sum_[k] = std::max(0.0, sum_[k] - oldest[k]);
    return oldest;
}

void PowerAverager::refreshAverage() {
    average_.resize(sum_.size());
    const double n = static_cast<double>(frames_.size());
    for (std::size_t k = 0; k < sum_.size(); ++k)
        average_[k] = frames_.empty() ? 0.0 : sum_[k] / n;
}
