#include "chip_registers.h"

#include "aps_request.h"
#include "emu10k1_words.h"

ApsDeviceHandle ZendraDevice = 0;
bool ZendraRequestFailed = false;

namespace {

bool IsBitField(uint32_t address) {
    return (address >> 24) != 0;
}

uint32_t FieldOffset(uint32_t address) {
    return (address >> 16) & 0x1F;
}

// Shift counts are taken modulo 32, so a width of 0 or 32 gives an empty mask.
uint32_t FieldMask(uint32_t address) {
    uint32_t size = (address >> 24) & 0x3F;
    return ((1u << (size & 31)) - 1u) << FieldOffset(address);
}

} // namespace

void PortWrite(uint16_t port, uint32_t value) {
    ApsIoRequest request = {APS_FN_WRITE_PORT, port, value};
    uint8_t block[APS_REQUEST_SIZE];
    ApsPackRequest(&request, block);
    uint32_t returned = 0;
    if (!ApsDeviceControl(ZendraDevice, APS_IOCTL_CODE, block, sizeof block, nullptr, 0, &returned))
        ZendraRequestFailed = true;
}

uint32_t PortRead(uint16_t port) {
    ApsIoRequest request = {APS_FN_READ_PORT, port, 0};
    uint8_t block[APS_REQUEST_SIZE];
    ApsPackRequest(&request, block);
    uint8_t out[4] = {0, 0, 0, 0};
    uint32_t returned = 0;
    if (!ApsDeviceControl(ZendraDevice, APS_IOCTL_CODE, block, sizeof block, out, sizeof out,
                          &returned)) {
        ZendraRequestFailed = true;
        return 0;
    }
    return ApsGet32(out);
}

// After a failed request the pointer may select another register than the
// one meant, so nothing more goes through it.
uint32_t ReadChipRegister(uint32_t address, uint32_t channel) {
    PortWrite(APS_PORT_POINTER, ApsPointerWord(address, channel));
    if (ZendraRequestFailed)
        return 0;
    uint32_t data = PortRead(APS_PORT_DATA);
    if (!IsBitField(address))
        return data;
    return (data & FieldMask(address)) >> FieldOffset(address);
}

void WriteChipRegister(uint32_t address, uint32_t channel, uint32_t value) {
    PortWrite(APS_PORT_POINTER, ApsPointerWord(address, channel));
    if (ZendraRequestFailed)
        return;
    if (!IsBitField(address)) {
        PortWrite(APS_PORT_DATA, value);
        return;
    }
    uint32_t old = PortRead(APS_PORT_DATA);
    if (ZendraRequestFailed)
        return;
    uint32_t mask = FieldMask(address);
    PortWrite(APS_PORT_DATA, (old & ~mask) | ((value << FieldOffset(address)) & mask));
}
