#include "taken_registers.h"

#include "fx8010_debug.h"
#include "fx8010_interpreter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Each word read whole, as the host may write any of them meanwhile: a word
// with one write's count and another's value would lose a write. An aligned
// 16-byte load reads each of its two 8-byte words whole (the processor reads
// an aligned quadword at once however it splits the load), four times as
// fast as one word at a time.
ApsChipWord* TakenRegisters::Take(const ApsChipWord* shared) {
#if defined(__SSE2__)
    static_assert(kChipRegisterCount % 2 == 0);
    const auto* from = reinterpret_cast<const __m128i*>(shared);
    auto* to = reinterpret_cast<__m128i*>(words_.data());
    for (std::size_t i = 0; i < kChipRegisterCount / 2; ++i)
        _mm_store_si128(to + i, _mm_load_si128(from + i));
#else
    for (std::size_t i = 0; i < kChipRegisterCount; ++i)
        words_[i] = ApsLoadChipWord(&shared[i]);
#endif
    taken_ = words_;
    return words_.data();
}

// Only what the DSP writes: DBG, and the GPRs and TRAM registers. A word the
// host wrote since the take is not the taken one any more: the swap fails,
// and the host's write stays.
void TakenRegisters::Give(ApsChipWord* shared) const {
    auto give = [&](uint32_t i) {
        if (words_[i] != taken_[i])
            ApsPutRegister(&shared[i], taken_[i], uint32_t(words_[i]));
    };
    give(fx8010dbg::kRegister);
    for (uint32_t i = Fx8010Interpreter::kGprs; i < kMicrocodeBase; ++i)
        give(i);
}
