// A delay-line pool kept in pages, each shared with the previous copy while
// it is unchanged: a copy of the whole pool costs only the pages written
// since the last one, and only those are looked at.
#pragma once

#include "tram_engine.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TramPages {
  public:
    static constexpr std::size_t kPageSamples = TramEngine::kPageSamples;

    // The pool as it stands, sharing the pages of previous that are the same;
    // of those, the pages not in written are taken as the same unseen.
    static TramPages Of(const std::vector<int16_t>& pool, const TramPages* previous,
                        const TramEngine::Pages& written);
    // Puts the pool back as it was copied.
    void CopyTo(std::vector<int16_t>& pool) const;
    // The bytes of the pages this copy holds alone, not shared with previous.
    std::size_t ownBytes() const { return own_ * kPageSamples * sizeof(int16_t); }

  private:
    using Page = std::vector<int16_t>;
    std::vector<std::shared_ptr<const Page>> pages_;
    std::size_t samples_ = 0;
    std::size_t own_ = 0;
};
