#include "chip_ports.h"

#include "aps_request.h"
#include "host_write.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

const ApsCardFile ApsCardFiles[APS_CARD_FILE_COUNT] = {
    {"fx8010_gpr", 0x100, 0x100},
    {"fx8010_tram_data", 0x200, 0xA0},
    {"fx8010_tram_addr", 0x300, 0xA0},
    {"fx8010_code", 0x400, 0x400},
};

int ApsCardFileOf(uint32_t reg) {
    for (int i = 0; i < APS_CARD_FILE_COUNT; ++i)
        if (reg >= ApsCardFiles[i].first && reg - ApsCardFiles[i].first < ApsCardFiles[i].count)
            return i;
    return -1;
}

// The card as it is now: every read goes to the sound driver's file.
static int ReadCardRegister(const int* files, uint32_t reg, uint32_t* value) {
    int index = ApsCardFileOf(reg);
    unsigned char bytes[4] = {0, 0, 0, 0};
    size_t got = 0;
    *value = 0;
    if (index < 0)
        return 1;
    off_t offset = (off_t)(reg - ApsCardFiles[index].first) * 4;
    while (got < sizeof bytes) {
        ssize_t n = pread(files[index], bytes + got, sizeof bytes - got, offset + (off_t)got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 0;
        if (n == 0)
            break;
        got += (size_t)n;
    }
    memcpy(value, bytes, sizeof *value);
    return 1;
}

int ApsChipPortRead(const ApsChipPorts* chip, uint16_t port, uint32_t* value) {
    uint32_t reg;
    if (port == APS_PORT_POINTER) {
        *value = ApsLoadWord(chip->pointer);
        return 1;
    }
    reg = ApsPointerRegister(ApsLoadWord(chip->pointer));
    if (chip->registers) {
        *value = ApsLoadRegister(&chip->registers[reg]);
        return 1;
    }
    if (chip->card_files)
        return ReadCardRegister(chip->card_files, reg, value);
    return 0;
}

int ApsChipPortWrite(const ApsChipPorts* chip, uint16_t port, uint32_t value) {
    if (port == APS_PORT_POINTER) {
        ApsStoreWord(chip->pointer, value & APS_POINTER_BITS);
        return 1;
    }
    if (!chip->registers)
        return 0;
    ApsHostWrite(chip->registers, ApsPointerRegister(ApsLoadWord(chip->pointer)), value);
    return 1;
}

int ApsCarryOutRequest(const ApsChipPorts* chip, uint32_t code, const void* in, uint32_t in_size,
                       void* out, uint32_t out_size, uint32_t* bytes_returned) {
    ApsIoRequest request;
    uint32_t value = 0;
    if (bytes_returned)
        *bytes_returned = 0;
    if (code != APS_IOCTL_CODE || !in || ApsUnpackRequest((const uint8_t*)in, in_size, &request))
        return 0;
    if (request.function == APS_FN_WRITE_PORT)
        return ApsChipPortWrite(chip, request.port, request.value);
    if (out_size < 4 || !out || !ApsChipPortRead(chip, request.port, &value))
        return 0;
    ApsPut32((uint8_t*)out, value);
    if (bytes_returned)
        *bytes_returned = 4;
    return 1;
}
