// The delay-line memory behind the TRAM registers: the chip's internal pool,
// the external pool in host memory, and the delay base counter. Each sample
// every read register loads its data register from (address + counter) modulo
// the pool size before the microcode runs, and every write register stores
// its data register there after it. Samples are held at 16 bits.
#pragma once

#include "state_carry.h"

#include <bitset>
#include <cstdint>
#include <vector>

class TramEngine {
  public:
    static constexpr uint32_t kInternalSamples = 8192;
    static constexpr uint32_t kExternalSamples = 0x2000u << 4;
    static constexpr int kInternalRegisters = 128;
    static constexpr int kPooledRegisters = 160; // internal, then 32 external
    // Address register flags, as the host sees them.
    static constexpr uint32_t kRead = 0x00100000;
    static constexpr uint32_t kWrite = 0x00200000;
    static constexpr uint32_t kClear = 0x00800000;
    static constexpr uint32_t kAddressMask = 0x000FFFFF;
    // The pools in pages, as the chip's past keeps them: a page written since
    // it was last kept is marked, so that an unwritten one needs no look.
    static constexpr uint32_t kPageSamples = 1024;
    using Pages = std::bitset<kExternalSamples / kPageSamples>;

    TramEngine();
    // Silence in both pools, the counter at 0.
    void Clear();
    // Picks the read and write registers from the 256 address registers'
    // flags (host view).
    void Configure(const uint32_t* addressRegisters);

    // data and address point at the DSP's view of the 256 data registers
    // (sample in bits 12-31) and address registers (address in bits 11-30).
    void Read(int32_t* data, const int32_t* address) const;
    void Write(const int32_t* data, const int32_t* address);
    void Advance() { counter_ = (counter_ - 1) & kAddressMask; }
    void ZeroCounter() { counter_ = 0; }
    // Moves delay lines' samples and silences others, each line's sample k
    // at (base + k + counter) as its taps address it. Every move reads the
    // memory as it was before any of them.
    void Carry(const std::vector<TramMove>& moves, const std::vector<TramSpan>& silenced);

    // The delay base counter, a 20-bit address that wraps.
    uint32_t counter() const { return counter_; }
    int16_t sample(bool external, uint32_t index) const;
    // A whole pool, as two engines' delay lines are compared.
    const std::vector<int16_t>& pool(bool external) const {
        return external ? external_ : internal_;
    }
    // The same to put back, as the chip's past is rebuilt: all its pages
    // count as written.
    std::vector<int16_t>& pool(bool external) {
        written_[external].set();
        return external ? external_ : internal_;
    }
    // The pages of a pool written since ForgetWritten.
    const Pages& written(bool external) const { return written_[external]; }
    void ForgetWritten() {
        written_[0].reset();
        written_[1].reset();
    }
    // f(data register) for each read register, which every sample loads.
    template <class F> void ForEachRead(F f) const {
        for (const Access& a : reads_)
            f(uint32_t(a.reg));
    }

  private:
    struct Access {
        uint16_t reg;
        bool external;
        bool clear;
    };
    uint32_t Location(const Access& a, const int32_t* address) const;
    void WroteAll() {
        written_[0].set();
        written_[1].set();
    }

    std::vector<Access> reads_, writes_;
    std::vector<int16_t> internal_, external_;
    uint32_t counter_ = 0;
    Pages written_[2];
};
