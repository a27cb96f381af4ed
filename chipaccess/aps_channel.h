// The channel between the library and the driver service on Linux: the
// handshake on the Unix-domain socket, the shared-memory request slot handed
// over in it, and the spin-then-futex waiting that both sides use on the slot.
#ifndef ZENDRA_APS_CHANNEL_H
#define ZENDRA_APS_CHANNEL_H

#include <linux/futex.h>
#include <stdint.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

enum {
    APS_HELLO_MAGIC = 0x53504145, // "EAPS"
    APS_PROTOCOL_VERSION = 1,
    APS_SLOT_MAGIC = 0x544F4C53, // "SLOT"
    APS_SLOT_INPUT_MAX = 64,
    APS_SLOT_SIZE = 4096,
};

// Sent by the client right after connecting.
typedef struct ApsHello {
    uint32_t magic;
    uint32_t version;
} ApsHello;

enum { APS_WELCOME_OK = 0, APS_WELCOME_BUSY = 1, APS_WELCOME_REFUSED = 2 };

// The service's answer; with APS_WELCOME_OK it carries the slot's memfd.
typedef struct ApsWelcome {
    uint32_t magic;
    uint32_t version;
    uint32_t status;
    uint32_t slot_size;
} ApsWelcome;

// One request at a time. The client fills code, sizes and input, then bumps
// request_seq; the service answers in the reply fields and sets reply_seq to
// the sequence number it served. Each side raises its waiting flag before a
// futex wait, so the other side only pays for futex_wake when it is needed.
typedef struct ApsSlot {
    uint32_t magic;
    uint32_t version;
    uint32_t pad0[14];
    // Written by the client.
    uint32_t request_seq;
    uint32_t client_waiting;
    uint32_t code;
    uint32_t in_size;
    uint32_t out_size;
    uint8_t input[APS_SLOT_INPUT_MAX];
    uint32_t pad1[11];
    // Written by the service.
    uint32_t reply_seq;
    uint32_t server_waiting;
    uint32_t status; // 0 = done
    uint32_t output;
    uint32_t bytes_returned;
} ApsSlot;

#ifdef __cplusplus
static_assert(sizeof(ApsSlot) <= APS_SLOT_SIZE, "the slot must fit its mapping");
#endif

static inline uint32_t ApsLoad(const uint32_t* p) {
    return __atomic_load_n(p, __ATOMIC_SEQ_CST);
}
static inline void ApsStore(uint32_t* p, uint32_t v) {
    __atomic_store_n(p, v, __ATOMIC_SEQ_CST);
}

static inline void ApsCpuRelax(void) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

static inline uint64_t ApsNowNs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

// Spins until *word differs from old or spin_ns pass; returns the last value seen.
static inline uint32_t ApsSpinWhile(const uint32_t* word, uint32_t old, uint64_t spin_ns) {
    uint32_t v = ApsLoad(word);
    if (v != old)
        return v;
    uint64_t end = ApsNowNs() + spin_ns;
    for (;;) {
        for (int i = 0; i < 32; ++i) {
            ApsCpuRelax();
            v = ApsLoad(word);
            if (v != old)
                return v;
        }
        if (ApsNowNs() >= end)
            return v;
    }
}

// The slot is shared between processes, so the futex calls are not private.
// timeout_ns 0 waits without a limit.
static inline void ApsFutexWait(uint32_t* word, uint32_t old, uint64_t timeout_ns) {
    struct timespec ts;
    ts.tv_sec = (time_t)(timeout_ns / 1000000000u);
    ts.tv_nsec = (long)(timeout_ns % 1000000000u);
    syscall(SYS_futex, word, FUTEX_WAIT, old, timeout_ns ? &ts : (struct timespec*)0, 0, 0);
}

static inline void ApsFutexWake(uint32_t* word) {
    syscall(SYS_futex, word, FUTEX_WAKE, 0x7fffffff, 0, 0, 0);
}

#endif
