// A map that remembers the order in which its keys were first added. Symbol
// names are listed to the code view in the order the symbol file gives them.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

template <typename Key, typename Value> class InsertionOrderedMap {
  public:
    using Entry = std::pair<Key, Value>;

    const Value* find(const Key& key) const {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    Value* find(const Key& key) {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    bool contains(const Key& key) const { return index_.count(key) != 0; }

    // Adds the pair at the end, or replaces the value in place when the key is
    // already there (its position stays).
    void set(const Key& key, Value value) {
        if (Value* existing = find(key)) {
            *existing = std::move(value);
            return;
        }
        index_.emplace(key, entries_.size());
        entries_.emplace_back(key, std::move(value));
    }

    // Removing is rare (a renamed symbol), so shifting the later entries is fine.
    void erase(const Key& key) {
        auto it = index_.find(key);
        if (it == index_.end())
            return;
        const std::size_t pos = it->second;
        index_.erase(it);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
        for (std::size_t i = pos; i < entries_.size(); ++i)
            index_[entries_[i].first] = i;
    }

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // In insertion order.
    const std::vector<Entry>& entries() const { return entries_; }

  private:
    std::vector<Entry> entries_;
    std::unordered_map<Key, std::size_t> index_;
};
