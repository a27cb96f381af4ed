// The library's exports against the service core running in-process: the
// port requests they carry out, byte for byte, and what they make of them.
#include "bus_source.h"
#include "in_process_service.h"
#include "request_recorder.h"
#include "support/every_export_fails.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <thread>

namespace {

struct PortAccess {
    int function; // 5 read, 6 write
    int port;
    uint32_t value;
    bool operator==(const PortAccess&) const = default;
};

std::ostream& operator<<(std::ostream& os, const PortAccess& a) {
    return os << (a.function == 5 ? "read" : "write") << " port " << a.port << " value 0x"
              << std::hex << a.value;
}

uint32_t Le16(const uint8_t* p) {
    return p[0] | p[1] << 8;
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

// Checks one request's wire form and returns what it asks for.
PortAccess Decode(const CapturedRequest& r) {
    const uint8_t* b = r.input.data();
    EXPECT_EQ(r.code, 0x13u);
    EXPECT_EQ(r.inputSize, 22u);
    EXPECT_EQ(Le16(b + 0), 0x00A4u);
    EXPECT_EQ(Le32(b + 4), 0u);
    EXPECT_EQ(Le32(b + 8), 0x11A10000u);
    EXPECT_EQ(Le16(b + 12), 0u);
    EXPECT_EQ(Le16(b + 14), 2u);
    PortAccess a{int(Le16(b + 2)), int(Le16(b + 16)), Le32(b + 18)};
    EXPECT_TRUE(a.function == 5 || a.function == 6) << a.function;
    if (a.function == 5) {
        EXPECT_EQ(r.outputSize, 4u) << "a read passes a 4-byte output buffer";
        EXPECT_EQ(a.value, 0u) << "a read carries no value";
    } else {
        EXPECT_EQ(r.outputSize, 0u) << "a write passes no output buffer";
    }
    return a;
}

std::vector<PortAccess> DecodeAll(const std::vector<CapturedRequest>& requests) {
    std::vector<PortAccess> out;
    for (const auto& r : requests)
        out.push_back(Decode(r));
    return out;
}

PortAccess Pointer(uint32_t reg) {
    return {6, 0, reg << 16};
}
const PortAccess kDataRead{5, 4, 0};
PortAccess DataWrite(uint32_t v) {
    return {6, 4, v};
}

class ZendraRequests : public ::testing::Test {
  protected:
    void SetUp() override {
        ChipImage image;
        for (uint32_t i = 0; i < kChipRegisterCount; ++i)
            image.registers[i] = 0xA5000000u | i;
        service.chip().Load(image);
        ASSERT_EQ(ifInitApsIo(), 0);
        recorder.clear();
    }
    uint32_t reg(uint32_t n) { return service.chip().Snapshot().registers[n]; }

    InProcessService service;
    RequestRecorder recorder;
};

TEST_F(ZendraRequests, RegisterReadIsPointerWriteThenDataRead) {
    int32_t value = 0;
    EXPECT_EQ(ifGPRMemoryRead(0x123, &value), 0);
    EXPECT_EQ(uint32_t(value), 0xA5000123u);
    EXPECT_EQ(DecodeAll(recorder.requests()), (std::vector<PortAccess>{Pointer(0x123), kDataRead}));
}

TEST_F(ZendraRequests, RegisterNumberKeepsElevenBitsAndIgnoresBits11To15) {
    int32_t value = 0;
    EXPECT_EQ(ifGPRMemoryRead(0xF9FF, &value), 0);
    EXPECT_EQ(DecodeAll(recorder.requests()), (std::vector<PortAccess>{Pointer(0x1FF), kDataRead}));
    EXPECT_EQ(uint32_t(value), 0xA50001FFu);
}

TEST_F(ZendraRequests, RegisterWriteSendsTwoRequestsAndLands) {
    int32_t value = int32_t(0xDEADBEEF);
    EXPECT_EQ(ifGPRMemoryWrite(0x1F0, &value), 0);
    EXPECT_EQ(DecodeAll(recorder.requests()),
              (std::vector<PortAccess>{Pointer(0x1F0), DataWrite(0xDEADBEEF)}));
    EXPECT_EQ(reg(0x1F0), 0xDEADBEEFu);
    EXPECT_EQ(reg(0x1EF), 0xA50001EFu);
}

TEST_F(ZendraRequests, ReadAllReadsConsecutiveRegistersInOrder) {
    int32_t values[4] = {};
    EXPECT_EQ(ifGPRMemoryReadAll(0x2FE, 4, values), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(uint32_t(values[i]), 0xA5000000u | (0x2FE + i));
    std::vector<PortAccess> expected;
    for (uint32_t r = 0x2FE; r < 0x302; ++r) {
        expected.push_back(Pointer(r));
        expected.push_back(kDataRead);
    }
    EXPECT_EQ(DecodeAll(recorder.requests()), expected);
}

TEST_F(ZendraRequests, ReadAllWithCountZeroOrLessSendsNothing) {
    int32_t values[2] = {7, 7};
    EXPECT_EQ(ifGPRMemoryReadAll(0x100, 0, values), 0);
    EXPECT_EQ(ifGPRMemoryReadAll(0x100, -3, values), 0);
    MicrocodeInstruction instrs[1] = {{9, 9, 9, 9, 9}};
    EXPECT_EQ(ifInstrMemoryReadAll(0, instrs), 0);
    EXPECT_EQ(ifInstrMemoryReadAll(-1, instrs), 0);
    EXPECT_TRUE(recorder.requests().empty());
    EXPECT_EQ(values[0], 7);
    EXPECT_EQ(instrs[0].Opcode, 9);
}

// Address 0x08040150: width 8 at offset 4 of register 0x150.
TEST_F(ZendraRequests, BitFieldReadReturnsOnlyTheField) {
    int32_t value = -1;
    EXPECT_EQ(ifGPRMemoryRead(0x08040150, &value), 0);
    EXPECT_EQ(value, int32_t((0xA5000150u >> 4) & 0xFF));
    EXPECT_EQ(DecodeAll(recorder.requests()), (std::vector<PortAccess>{Pointer(0x150), kDataRead}));
}

TEST_F(ZendraRequests, BitFieldWriteReadsThroughThePointerOnceAndKeepsOtherBits) {
    int32_t value = 0x1FF; // wider than the field: the surplus bit is cut off
    EXPECT_EQ(ifGPRMemoryWrite(0x08040150, &value), 0);
    uint32_t expected = (0xA5000150u & ~0xFF0u) | 0xFF0u;
    EXPECT_EQ(reg(0x150), expected);
    EXPECT_EQ(DecodeAll(recorder.requests()),
              (std::vector<PortAccess>{Pointer(0x150), kDataRead, DataWrite(expected)}));
}

TEST_F(ZendraRequests, FieldAtTheTopBitAndFullWidthFollowModulo32Shifts) {
    int32_t value = 0;
    // Width 1 at offset 31: the sign bit alone.
    EXPECT_EQ(ifGPRMemoryRead(0x011F0150, &value), 0);
    EXPECT_EQ(value, 1);
    // Width 32 wraps to an empty mask: reads 0, and a write puts the old value back.
    EXPECT_EQ(ifGPRMemoryRead(0x20000150, &value), 0);
    EXPECT_EQ(value, 0);
    recorder.clear();
    value = 0x12345678;
    EXPECT_EQ(ifGPRMemoryWrite(0x20000150, &value), 0);
    EXPECT_EQ(reg(0x150), 0xA5000150u);
    EXPECT_EQ(recorder.requests().size(), 3u);
    // Only bits 30-31 set: width 0 in bits 24-29, still a (empty) field.
    EXPECT_EQ(ifGPRMemoryRead(int32_t(0xC0000150), &value), 0);
    EXPECT_EQ(value, 0);
}

TEST_F(ZendraRequests, InstructionReadTakesLowWordFirstAndUnpacks) {
    ChipImage image;
    // High word with junk above bit 23: the opcode keeps four bits.
    image.registers[0x400 + 2 * 7] = (0x2ABu << 10) | 0x155u;
    image.registers[0x401 + 2 * 7] = 0xFFE00000u | (0x3FFu << 10) | 0x001u;
    service.chip().Load(image);
    MicrocodeInstruction instr{};
    EXPECT_EQ(ifInstrMemoryRead(7, &instr), 0);
    EXPECT_EQ(instr.Opcode, 0xE);
    EXPECT_EQ(instr.R, 0x3FF);
    EXPECT_EQ(instr.A, 0x001);
    EXPECT_EQ(instr.X, 0x2AB);
    EXPECT_EQ(instr.Y, 0x155);
    EXPECT_EQ(DecodeAll(recorder.requests()),
              (std::vector<PortAccess>{Pointer(0x40E), kDataRead, Pointer(0x40F), kDataRead}));
}

TEST_F(ZendraRequests, InstructionWriteSendsLowThenHigh) {
    MicrocodeInstruction instr{0x6, 0x040, 0x041, 0x042, 0x120};
    EXPECT_EQ(ifInstrMemoryWrite(511, &instr), 0);
    uint32_t low = (0x041u << 10) | 0x042u;
    uint32_t high = (0x6u << 20) | (0x120u << 10) | 0x040u;
    EXPECT_EQ(
        DecodeAll(recorder.requests()),
        (std::vector<PortAccess>{Pointer(0x7FE), DataWrite(low), Pointer(0x7FF), DataWrite(high)}));
    EXPECT_EQ(reg(0x7FE), low);
    EXPECT_EQ(reg(0x7FF), high);
}

TEST_F(ZendraRequests, ReadAllInstructionsStartsAtZeroAndMatchesSingleReads) {
    std::vector<MicrocodeInstruction> all(512);
    EXPECT_EQ(ifInstrMemoryReadAll(512, all.data()), 0);
    auto requests = DecodeAll(recorder.requests());
    ASSERT_EQ(requests.size(), 2048u);
    EXPECT_EQ(requests[0], Pointer(0x400));
    EXPECT_EQ(requests[2046], Pointer(0x7FF));
    for (int i : {0, 1, 255, 511}) {
        MicrocodeInstruction one{};
        EXPECT_EQ(ifInstrMemoryRead(i, &one), 0);
        EXPECT_EQ(std::memcmp(&one, &all[i], sizeof one), 0) << "instruction " << i;
    }
}

// A process keeps the device it holds: opening again, more often than the
// library has connections, neither asks the service nor loses the open.
TEST_F(ZendraRequests, SecondOpenKeepsTheHeldDevice) {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ifInitApsIo(), 0);
    EXPECT_FALSE(service.waitForLog("second client", 200));
    int32_t value = 0;
    EXPECT_EQ(ifGPRMemoryRead(0x100, &value), 0);
    EXPECT_EQ(uint32_t(value), 0xA5000100u);
}

// A read that cannot reach the chip yields no values: the caller's keep theirs.
TEST_F(ZendraRequests, ServiceThatGoesAwayFailsEveryExportAndLeavesTheValuesAlone) {
    service.stop();
    ExpectEveryExportFailsAndLeavesTheValuesAlone();
    EXPECT_TRUE(recorder.requests().empty());
}

// Holds the DSP inside a run, and so the chip's lock, until let go: as an
// advance does, or a device that takes period after period.
struct HeldBus : BusSource {
    std::promise<void> inside, release;
    void Read(int32_t* bus, int frames) override {
        std::fill(bus, bus + frames * kBusInputs, 0);
        inside.set_value();
        release.get_future().wait();
    }
};

// A restarted service is found at the next call, every time, even while its
// DSP is in the middle of a run.
TEST(ZendraRestarts, EachOfFiftyRestartsIsFoundAtTheNextCallWhileTheDspRuns) {
    auto service = std::make_unique<InProcessService>();
    ASSERT_EQ(ifInitApsIo(), 0);
    int found = 0;
    for (int restart = 0; restart < 50; ++restart) {
        service = nullptr; // a restart: the old one goes first
        service = std::make_unique<InProcessService>();
        HeldBus bus;
        service->chip().FeedBus(&bus);
        std::thread dsp([&] { service->chip().Run(1); });
        bus.inside.get_future().wait();
        int32_t value;
        found += ifGPRMemoryRead(0x100, &value) == 0;
        bus.release.set_value();
        dsp.join();
    }
    EXPECT_EQ(found, 50);
}

} // namespace
