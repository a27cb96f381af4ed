// A whole image of one chip memory with the four images read before it.
// Every read ages the history by one step before the new image is read, so
// previous(k) is always the image of the k-th read before the latest; an
// image that no read has produced yet is empty. Each image keeps what it was
// read under (Context: for the code, the program names then in force), aged
// with it.
#pragma once

#include <array>
#include <cstddef>
#include <utility>
#include <variant>
#include <vector>

template <typename Item, typename Context = std::monostate> class SnapshotHistory {
  public:
    static constexpr std::size_t kSize = 512;
    static constexpr int kDepth = 4;

    SnapshotHistory() : current_(kSize) {}

    // The image of the last read; all zero before the first.
    const std::vector<Item>& current() const { return current_; }
    // k from 1 (newest) to 4; empty until k + 1 reads have happened.
    const std::vector<Item>& previous(int k) const { return previous_.at(k - 1); }
    bool valid() const { return valid_; }
    // What current() and previous(k) were read under; Context{} for an image
    // no read has produced.
    const Context& currentContext() const { return currentContext_; }
    const Context& previousContext(int k) const { return previousContext_.at(k - 1); }

    // Ages the history, then lets read fill the current image in place
    // (read gets a pointer to kSize items) under context. Returns what read
    // returned.
    template <typename Read> int Refresh(Read&& read, Context context = {}) {
        for (int k = kDepth - 1; k > 0; --k) {
            previous_[k] = std::move(previous_[k - 1]);
            previousContext_[k] = std::move(previousContext_[k - 1]);
        }
        if (valid_) {
            previous_[0] = current_;
            previousContext_[0] = std::move(currentContext_);
        } else {
            previous_[0].clear();
            previousContext_[0] = Context{};
        }
        currentContext_ = std::move(context);
        valid_ = true;
        return read(current_.data());
    }

  private:
    std::vector<Item> current_;
    std::array<std::vector<Item>, kDepth> previous_;
    Context currentContext_{};
    std::array<Context, kDepth> previousContext_{};
    bool valid_ = false;
};
