#include "aps_request_handler.h"

#include "aps_request.h"

ApsReply HandleApsRequest(ChipBackend& chip, uint32_t code, const uint8_t* input,
                          uint32_t inputSize, uint32_t outputSize) {
    ApsReply reply;
    ApsIoRequest request;
    if (code != APS_IOCTL_CODE || ApsUnpackRequest(input, inputSize, &request) != 0)
        return reply;
    std::lock_guard lock(chip.mutex());
    if (request.function == APS_FN_READ_PORT) {
        if (outputSize < 4)
            return reply;
        reply.value = chip.PortRead(request.port);
        reply.bytesReturned = 4;
    } else {
        if (!chip.CanWrite(request.port))
            return reply;
        chip.PortWrite(request.port, request.value);
    }
    reply.ok = true;
    return reply;
}
