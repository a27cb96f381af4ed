// Register-level access through the chip's pointer and data ports, one device
// request per port access. Shared by the exports; not exported itself.
#ifndef ZENDRA_CHIP_REGISTERS_H
#define ZENDRA_CHIP_REGISTERS_H

#include "aps_device.h"

#include <stdint.h>

// Zero until the device is opened; the open's result after that.
extern ApsDeviceHandle ZendraDevice;

// Set when a device request fails. The exports clear it before their
// requests and return 1 when it is set after them: a failed read yields no
// value that could pass for the chip's.
extern bool ZendraRequestFailed;

uint32_t PortRead(uint16_t port);
void PortWrite(uint16_t port, uint32_t value);

// Bits 24-31 of an address select a bit field (width in bits 24-29, offset in
// bits 16-20) instead of the whole register.
uint32_t ReadChipRegister(uint32_t address, uint32_t channel);
void WriteChipRegister(uint32_t address, uint32_t channel, uint32_t value);

#endif
