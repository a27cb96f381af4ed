// The 22-byte port request block that the library sends to the driver with
// device-control code 0x13, and its little-endian packing and checking. The
// library builds requests with it and checks them again where it carries them
// out (ApsCarryOutRequest), as the driver would.
#ifndef ZENDRA_APS_REQUEST_H
#define ZENDRA_APS_REQUEST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
    APS_IOCTL_CODE = 0x13,
    APS_REQUEST_SIZE = 22,
    APS_HEADER = 0x00A4,
    APS_CONSTANT_8 = 0x11A10000,
    APS_CONSTANT_14 = 2,
    APS_FN_READ_PORT = 5,
    APS_FN_WRITE_PORT = 6,
    APS_PORT_POINTER = 0,
    APS_PORT_DATA = 4
};

typedef struct ApsIoRequest {
    uint16_t function;
    uint16_t port;
    uint32_t value;
} ApsIoRequest;

static inline void ApsPut16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
static inline void ApsPut32(uint8_t* p, uint32_t v) {
    ApsPut16(p, (uint16_t)v);
    ApsPut16(p + 2, (uint16_t)(v >> 16));
}
static inline uint16_t ApsGet16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}
static inline uint32_t ApsGet32(const uint8_t* p) {
    return (uint32_t)ApsGet16(p) | ((uint32_t)ApsGet16(p + 2) << 16);
}

// Packs a request into its 22-byte wire form.
static inline void ApsPackRequest(const ApsIoRequest* r, uint8_t out[APS_REQUEST_SIZE]) {
    ApsPut16(out + 0, APS_HEADER);
    ApsPut16(out + 2, r->function);
    ApsPut32(out + 4, 0);
    ApsPut32(out + 8, APS_CONSTANT_8);
    ApsPut16(out + 12, 0);
    ApsPut16(out + 14, APS_CONSTANT_14);
    ApsPut16(out + 16, r->port);
    ApsPut32(out + 18, r->value);
}

// Checks a 22-byte block and unpacks it; returns 0 for a well-formed request.
static inline int ApsUnpackRequest(const uint8_t* in, uint32_t size, ApsIoRequest* r) {
    if (size != APS_REQUEST_SIZE)
        return 1;
    if (ApsGet16(in + 0) != APS_HEADER || ApsGet32(in + 8) != APS_CONSTANT_8 ||
        ApsGet16(in + 14) != APS_CONSTANT_14)
        return 1;
    r->function = ApsGet16(in + 2);
    r->port = ApsGet16(in + 16);
    r->value = ApsGet32(in + 18);
    if (r->function != APS_FN_READ_PORT && r->function != APS_FN_WRITE_PORT)
        return 1;
    if (r->port != APS_PORT_POINTER && r->port != APS_PORT_DATA)
        return 1;
    return 0;
}

#ifdef __cplusplus
}
#endif

#endif
