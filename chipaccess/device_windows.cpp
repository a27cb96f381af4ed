// The real device: the sound card's kernel driver emuaps.vxd.
#include "aps_device.h"

#include <windows.h>

ApsDeviceHandle ApsDeviceOpen(void) {
    HANDLE h =
        CreateFileA("\\\\.\\EMUAPS.VXD", 0, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    return (ApsDeviceHandle)h;
}

int ApsDeviceControl(ApsDeviceHandle device, uint32_t code, const void* in, uint32_t in_size,
                     void* out, uint32_t out_size, uint32_t* bytes_returned) {
    DWORD returned = 0;
    BOOL ok =
        DeviceIoControl((HANDLE)device, code, (LPVOID)in, in_size, out, out_size, &returned, NULL);
    if (bytes_returned)
        *bytes_returned = returned;
    return ok ? 1 : 0;
}

// The kernel driver is there for as long as the machine runs.
int ApsDeviceReady(ApsDeviceHandle device) {
    (void)device;
    return 1;
}

int ApsDeviceHeld(ApsDeviceHandle device) {
    (void)device;
    return 1;
}
