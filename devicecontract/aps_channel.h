// The channel between the library and the driver service on Linux: the
// handshake on the Unix-domain socket, in which the service hands the client
// the chip itself (its shared memory, and a card's register files), so the
// library carries out every port request in its own thread, as a kernel
// driver's ioctl runs in its caller's.
#ifndef ZENDRA_APS_CHANNEL_H
#define ZENDRA_APS_CHANNEL_H

#include <stdint.h>

enum {
    APS_HELLO_MAGIC = 0x53504145, // "EAPS"
    // A hello that only asks whether the device is held: answered with
    // APS_WELCOME_FREE or APS_WELCOME_BUSY, handing nothing over and holding
    // nothing, so a second service can tell a live one without a fault in
    // its log.
    APS_PROBE_MAGIC = 0x42504145, // "EAPB"
    APS_PROTOCOL_VERSION = 4,
};

// Sent by the client right after connecting.
typedef struct ApsHello {
    uint32_t magic;
    uint32_t version;
} ApsHello;

enum {
    APS_WELCOME_OK = 0,
    APS_WELCOME_BUSY = 1,
    APS_WELCOME_REFUSED = 2,
    APS_WELCOME_FREE = 3, // to a probe only
};

// The service's answer. With APS_WELCOME_OK it carries 1 + file_count file
// descriptors: the shared chip memory (a memfd of exactly chip_size bytes,
// sealed against shrinking, growing and further seals; fresh for each holder,
// and for a card holding nothing), then, for a card, its register files in
// the order of ApsCardFiles. The welcome alone says what the memory is: the
// memory itself is the client's to scribble on.
typedef struct ApsWelcome {
    uint32_t magic;
    uint32_t version;
    uint32_t status;
    uint32_t kind; // APS_CHIP_SIMULATED or APS_CHIP_CARD
    uint32_t chip_size;
    uint32_t file_count;
    uint32_t holder_pid; // with APS_WELCOME_BUSY: the holder's process, 0 when not known
} ApsWelcome;

enum { APS_WELCOME_MAX_FDS = 8 };

#endif
