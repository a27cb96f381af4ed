#include "tram_engine.h"

#include <algorithm>

static_assert((TramEngine::kInternalSamples & (TramEngine::kInternalSamples - 1)) == 0 &&
                  (TramEngine::kExternalSamples & (TramEngine::kExternalSamples - 1)) == 0,
              "pool sizes are powers of two, so the 20-bit counter wraps with them");
static_assert(TramEngine::kInternalSamples % TramEngine::kPageSamples == 0,
              "the pools are whole pages");

TramEngine::TramEngine() : internal_(kInternalSamples), external_(kExternalSamples) {
    WroteAll();
}

void TramEngine::Clear() {
    std::fill(internal_.begin(), internal_.end(), 0);
    std::fill(external_.begin(), external_.end(), 0);
    counter_ = 0;
    WroteAll();
}

void TramEngine::Configure(const uint32_t* addressRegisters) {
    reads_.clear();
    writes_.clear();
    for (int n = 0; n < kPooledRegisters; ++n) {
        uint32_t flags = addressRegisters[n];
        Access access{uint16_t(n), n >= kInternalRegisters, (flags & kClear) != 0};
        if (flags & kRead)
            reads_.push_back(access);
        if (flags & kWrite)
            writes_.push_back(access);
    }
}

void TramEngine::Carry(const std::vector<TramMove>& moves, const std::vector<TramSpan>& silenced) {
    auto at = [this](const TramSpan& span, uint32_t k) -> int16_t& {
        auto& pool = span.external ? external_ : internal_;
        return pool[(span.base + k + counter_) & (pool.size() - 1)];
    };
    WroteAll();
    std::vector<std::vector<int16_t>> taken;
    for (const TramMove& m : moves) {
        std::vector<int16_t>& line = taken.emplace_back(m.from.size);
        for (uint32_t k = 0; k < m.from.size; ++k)
            line[k] = at(m.from, k);
    }
    for (const TramSpan& span : silenced)
        for (uint32_t k = 0; k < span.size; ++k)
            at(span, k) = 0;
    for (std::size_t i = 0; i < moves.size(); ++i)
        for (uint32_t k = 0; k < moves[i].to.size && k < taken[i].size(); ++k)
            at(moves[i].to, k) = taken[i][k];
}

uint32_t TramEngine::Location(const Access& a, const int32_t* address) const {
    uint32_t at = (uint32_t(address[a.reg]) >> 11) + counter_;
    return at & ((a.external ? kExternalSamples : kInternalSamples) - 1);
}

void TramEngine::Read(int32_t* data, const int32_t* address) const {
    for (const Access& a : reads_) {
        const auto& pool = a.external ? external_ : internal_;
        int32_t sample = a.clear ? 0 : pool[Location(a, address)];
        data[a.reg] = int32_t(uint32_t(sample) << 16);
    }
}

void TramEngine::Write(const int32_t* data, const int32_t* address) {
    for (const Access& a : writes_) {
        auto& pool = a.external ? external_ : internal_;
        const uint32_t at = Location(a, address);
        pool[at] = a.clear ? 0 : int16_t(data[a.reg] >> 16);
        written_[a.external].set(at / kPageSamples);
    }
}

int16_t TramEngine::sample(bool external, uint32_t index) const {
    const auto& pool = external ? external_ : internal_;
    return pool[index % pool.size()];
}
