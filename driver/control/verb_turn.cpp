#include "verb_turn.h"

#include <chrono>

namespace {
// A long verb looks between slices of a few milliseconds; this only keeps a
// stop from waiting on a verb stuck elsewhere.
constexpr std::chrono::seconds kEndWait(2);
} // namespace

bool VerbTurn::Take(const std::string& request, std::string* holder) {
    std::lock_guard lock(mutex_);
    if (!holder_.empty()) {
        *holder = holder_;
        return false;
    }
    holder_ = request.empty() ? "?" : request;
    endAsked_ = false;
    return true;
}

void VerbTurn::Give() {
    {
        std::lock_guard lock(mutex_);
        holder_.clear();
        endAsked_ = false;
        ++turns_;
    }
    given_.notify_all();
}

std::string VerbTurn::holder() {
    std::lock_guard lock(mutex_);
    return holder_;
}

bool VerbTurn::EndHolder() {
    std::unique_lock lock(mutex_);
    if (holder_.empty())
        return false;
    const uint64_t turn = turns_;
    endAsked_ = true;
    given_.wait_for(lock, kEndWait, [&] { return turns_ != turn; });
    return true;
}
