#include "verb_turn.h"

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

std::string VerbTurn::EndHolder(bool* ended) {
    std::unique_lock lock(mutex_);
    *ended = true;
    if (holder_.empty())
        return "";
    const std::string held = holder_;
    const uint64_t turn = turns_;
    endAsked_ = true;
    *ended = given_.wait_for(lock, endWait_, [&] { return turns_ != turn; });
    return held;
}
