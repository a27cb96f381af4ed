// Lets the library's own tests see every device request, byte for byte, as
// the device layer is about to carry it out. Not exported from the shared
// library: only a program linked with the library's static form can set it.
#ifndef ZENDRA_REQUEST_TAP_H
#define ZENDRA_REQUEST_TAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*ZendraRequestTap)(void* context, uint32_t code, const void* in, uint32_t in_size,
                                 uint32_t out_size);

// A null tap stops the tapping.
void ZendraSetRequestTap(ZendraRequestTap tap, void* context);

#ifdef __cplusplus
}
#endif

#endif
