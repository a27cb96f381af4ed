#include "tram_pages.h"

#include <algorithm>

TramPages TramPages::Of(const std::vector<int16_t>& pool, const TramPages* previous,
                        const TramEngine::Pages& written) {
    TramPages copy;
    copy.samples_ = pool.size();
    const std::size_t pages = (pool.size() + kPageSamples - 1) / kPageSamples;
    copy.pages_.reserve(pages);
    const bool alike = previous && previous->samples_ == pool.size();
    for (std::size_t i = 0; i < pages; ++i) {
        const auto first = pool.begin() + std::ptrdiff_t(i * kPageSamples);
        const auto last =
            pool.begin() + std::ptrdiff_t(std::min(pool.size(), (i + 1) * kPageSamples));
        if (alike && ((i < written.size() && !written[i]) ||
                      std::equal(first, last, previous->pages_[i]->begin()))) {
            copy.pages_.push_back(previous->pages_[i]);
            continue;
        }
        copy.pages_.push_back(std::make_shared<const Page>(first, last));
        ++copy.own_;
    }
    return copy;
}

void TramPages::CopyTo(std::vector<int16_t>& pool) const {
    pool.resize(samples_);
    auto at = pool.begin();
    for (const auto& page : pages_)
        at = std::copy(page->begin(), page->end(), at);
}
