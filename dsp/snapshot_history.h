// A whole image of one chip memory with the four images read before it.
// Every read ages the history by one step before the new image is read, so
// previous(k) is always the image of the k-th read before the latest; an
// image that no read has produced yet is empty.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

template <typename Item> class SnapshotHistory {
  public:
    static constexpr std::size_t kSize = 512;
    static constexpr int kDepth = 4;

    SnapshotHistory() : current_(kSize) {}

    // The image of the last read; all zero before the first.
    const std::vector<Item>& current() const { return current_; }
    // k from 1 (newest) to 4; empty until k + 1 reads have happened.
    const std::vector<Item>& previous(int k) const { return previous_.at(k - 1); }
    bool valid() const { return valid_; }

    // Ages the history, then lets read fill the current image in place
    // (read gets a pointer to kSize items). Returns what read returned.
    template <typename Read> int Refresh(Read&& read) {
        for (int k = kDepth - 1; k > 0; --k)
            previous_[k] = std::move(previous_[k - 1]);
        if (valid_)
            previous_[0] = current_;
        else
            previous_[0].clear();
        valid_ = true;
        return read(current_.data());
    }

  private:
    std::vector<Item> current_;
    std::array<std::vector<Item>, kDepth> previous_;
    bool valid_ = false;
};
