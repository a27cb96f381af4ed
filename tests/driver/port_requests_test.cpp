// The checks made on each device request wherever it is carried out, and the
// simulated chip's pointer and data ports behind them.
#include "aps_request.h"
#include "chip_ports.h"
#include "simulated_chip.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

struct Reply {
    bool ok = false;
    uint32_t value = 0;
    uint32_t bytesReturned = 0;
};

Reply CarryOut(SimulatedChip& chip, uint32_t code, const uint8_t* in, uint32_t size, uint32_t out) {
    ApsChipPorts ports = chip.Ports();
    uint8_t buffer[64] = {};
    Reply r;
    r.ok = ApsCarryOutRequest(&ports, code, in, size, out ? buffer : nullptr, out,
                              &r.bytesReturned) != 0;
    std::memcpy(&r.value, buffer, sizeof r.value);
    return r;
}

using Block = std::array<uint8_t, APS_REQUEST_SIZE>;

Block Pack(uint16_t function, uint16_t port, uint32_t value) {
    ApsIoRequest r = {function, port, value};
    Block b;
    ApsPackRequest(&r, b.data());
    return b;
}

class RequestHandler : public ::testing::Test {
  protected:
    void SetUp() override {
        ChipImage image;
        for (uint32_t i = 0; i < kChipRegisterCount; ++i)
            image.registers[i] = 0x10000u + i;
        chip.Load(image);
    }
    Reply Send(const Block& b, uint32_t out = 4, uint32_t code = APS_IOCTL_CODE,
               uint32_t size = APS_REQUEST_SIZE) {
        return CarryOut(chip, code, b.data(), size, out);
    }
    SimulatedChip chip;
};

TEST_F(RequestHandler, PointerSelectsTheRegisterAndReadsBackMasked) {
    EXPECT_TRUE(Send(Pack(APS_FN_WRITE_PORT, APS_PORT_POINTER, 0xF9FFFFFF), 0).ok);
    Reply pointer = Send(Pack(APS_FN_READ_PORT, APS_PORT_POINTER, 0));
    EXPECT_TRUE(pointer.ok);
    EXPECT_EQ(pointer.value, 0x01FF003Fu) << "register bits 16-26 and channel bits 0-5";
    EXPECT_EQ(pointer.bytesReturned, 4u);
    Reply data = Send(Pack(APS_FN_READ_PORT, APS_PORT_DATA, 0));
    EXPECT_EQ(data.value, 0x10000u + 0x1FF);

    EXPECT_TRUE(Send(Pack(APS_FN_WRITE_PORT, APS_PORT_POINTER, 0x07FF0000), 0).ok);
    Reply write = Send(Pack(APS_FN_WRITE_PORT, APS_PORT_DATA, 0xCAFEF00D), 0);
    EXPECT_TRUE(write.ok);
    EXPECT_EQ(write.bytesReturned, 0u);
    EXPECT_EQ(chip.Snapshot().registers[0x7FF], 0xCAFEF00Du);
}

TEST_F(RequestHandler, MalformedRequestsFailAndLeaveTheChipAlone) {
    Send(Pack(APS_FN_WRITE_PORT, APS_PORT_POINTER, 0x01000000), 0);
    const ChipImage before = chip.Snapshot();
    Block goodWrite = Pack(APS_FN_WRITE_PORT, APS_PORT_DATA, 0xBAD);
    auto corrupt = [&](std::size_t offset, uint8_t byte) {
        Block b = goodWrite;
        b[offset] = byte;
        return b;
    };
    struct Case {
        const char* what;
        Block block;
        uint32_t code, size, out;
    };
    const Case cases[] = {
        {"control code", goodWrite, 0x12, 22, 0},
        {"short block", goodWrite, APS_IOCTL_CODE, 21, 0},
        {"long block", goodWrite, APS_IOCTL_CODE, 23, 0},
        {"header", corrupt(0, 0xA5), APS_IOCTL_CODE, 22, 0},
        {"constant at 8", corrupt(10, 0xA2), APS_IOCTL_CODE, 22, 0},
        {"constant at 14", corrupt(14, 3), APS_IOCTL_CODE, 22, 0},
        {"function 7", Pack(7, APS_PORT_DATA, 1), APS_IOCTL_CODE, 22, 0},
        {"function 4", Pack(4, APS_PORT_DATA, 1), APS_IOCTL_CODE, 22, 4},
        {"port 8", Pack(APS_FN_WRITE_PORT, 8, 1), APS_IOCTL_CODE, 22, 0},
        {"port 2", Pack(APS_FN_READ_PORT, 2, 0), APS_IOCTL_CODE, 22, 4},
        {"read into 3 bytes", Pack(APS_FN_READ_PORT, APS_PORT_DATA, 0), APS_IOCTL_CODE, 22, 3},
    };
    for (const Case& c : cases) {
        Reply reply = CarryOut(chip, c.code, c.block.data(), c.size, c.out);
        EXPECT_FALSE(reply.ok) << c.what;
        EXPECT_EQ(reply.bytesReturned, 0u) << c.what;
    }
    EXPECT_EQ(chip.Snapshot(), before);
    // The reserved fields are not checked; a larger output buffer is fine.
    EXPECT_TRUE(Send(corrupt(4, 0xFF), 0).ok);
    EXPECT_TRUE(Send(Pack(APS_FN_READ_PORT, APS_PORT_DATA, 0), 64).ok);
}

} // namespace
