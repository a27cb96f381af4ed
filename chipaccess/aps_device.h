// The driver's device as the library sees it: an open that yields a handle
// and device-control requests on it. The only platform-specific piece of the
// library; one implementation per platform.
#ifndef ZENDRA_APS_DEVICE_H
#define ZENDRA_APS_DEVICE_H

#include <stdint.h>

typedef intptr_t ApsDeviceHandle;

// What a failed open yields, as the platform's invalid handle (all bits set).
#define APS_INVALID_HANDLE ((ApsDeviceHandle)-1)

// Opens the device exclusively; returns the handle or APS_INVALID_HANDLE.
ApsDeviceHandle ApsDeviceOpen(void);

// Called by every export before its requests: non-zero when the device can
// take them. Where the driver can go away (the service on Linux), a handle
// whose driver is gone is opened again, with one quick attempt per call.
int ApsDeviceReady(ApsDeviceHandle device);

// Non-zero while an open handle's driver is still there, without opening
// anything again.
int ApsDeviceHeld(ApsDeviceHandle device);

// Issues one device-control request. Returns non-zero when the device
// carried it out; a read's value arrives in out.
int ApsDeviceControl(ApsDeviceHandle device, uint32_t code, const void* in, uint32_t in_size,
                     void* out, uint32_t out_size, uint32_t* bytes_returned);

#endif
