// The running chip behind the service: the library sees registers move from
// one read to the next while the microcode stays put, and emuapsd's options
// for patches and running.
#include "dsp_runner.h"
#include "in_process_service.h"
#include "loaded_program.h"
#include "support/emuapsd_run.h"
#include "support/eventually.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
const std::string kEmuapsd = std::string(VELMORA_PROGRAM_DIR) + "/emuapsd";

TEST(DspService, TheLibrarySeesRegistersChangeBetweenReads) {
    InProcessService service;
    ChipImageResult loaded =
        LoadChipWithPatch(kImages + "demo.chip", kImages + "demo-chorus-echo.emu10k1", nullptr);
    ASSERT_TRUE(loaded.image) << loaded.describe();
    service.chip().Load(*loaded.image);
    DspRunner runner(service.chip());
    ASSERT_EQ(ifInitApsIo(), 0);

    std::vector<int32_t> first(512), second(512);
    std::vector<MicrocodeInstruction> codeFirst(512), codeSecond(512);
    ASSERT_EQ(ifGPRMemoryReadAll(0x100, 512, first.data()), 0);
    ASSERT_EQ(ifInstrMemoryReadAll(512, codeFirst.data()), 0);
    int changed = 0;
    EXPECT_TRUE(Eventually([&] {
        if (ifGPRMemoryReadAll(0x100, 512, second.data()) != 0)
            return true;
        changed = 0;
        for (int i = 0; i < 512; ++i)
            changed += first[i] != second[i];
        return changed > 20;
    })) << changed
        << " registers changed";
    ASSERT_EQ(ifInstrMemoryReadAll(512, codeSecond.data()), 0);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(std::memcmp(&codeFirst[i], &codeSecond[i], sizeof codeFirst[i]), 0) << i;
    EXPECT_EQ(codeFirst[36].R, 0x11A) << "the patch's code is there";
}

// The DSP and the library meet in one register file: every read is a value
// the chip held (whole words, host view, flags kept), and a host write lands
// in the chip the DSP runs, not undone by the block that was running.
TEST(DspService, ReadsSeeOnlyHeldValuesAndWritesReachTheRunningDsp) {
    InProcessService service;
    ChipImage image;
    auto instr = [&](int i, uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
        image.registers[0x400 + 2 * i] = (x << 10) | y;
        image.registers[0x401 + 2 * i] = (op << 20) | (r << 10) | a;
    };
    const uint32_t kAcc3 = 6, kZero = 0x40, kOne = 0x41;
    instr(0, kAcc3, 0x100, 0x100, kOne, kZero);  // a counter
    instr(1, kAcc3, 0x300, 0x300, 0x102, kZero); // a moving write address
    instr(2, kAcc3, 0x200, 0x100, kZero, kZero); // the counter into a delay line
    instr(3, kAcc3, 0x104, 0x103, kZero, kZero); // a copy of a host-set control
    for (int i = 4; i < 512; ++i)
        instr(i, kAcc3, kZero, kZero, kZero, kZero);
    image.registers[0x102] = 0x800; // one sample in the DSP's view of an address
    image.registers[0x300] = 0x00200000;
    service.chip().Load(image);
    DspRunner runner(service.chip());
    ASSERT_EQ(ifInitApsIo(), 0);

    // Reads over shared memory are fast enough that a fixed number of them can
    // end before the runner's first block; read until the counter has moved
    // through a few blocks, under a watchdog.
    uint32_t lastCount = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int round = 0; round < 2000 || lastCount < 1000; ++round) {
        ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the counter never moved";
        int32_t v[3] = {};
        ASSERT_EQ(ifGPRMemoryRead(0x100, &v[0]), 0);
        ASSERT_EQ(ifGPRMemoryRead(0x300, &v[1]), 0);
        ASSERT_EQ(ifGPRMemoryRead(0x200, &v[2]), 0);
        ASSERT_GE(uint32_t(v[0]), lastCount) << "the counter went back";
        lastCount = uint32_t(v[0]);
        ASSERT_EQ(uint32_t(v[1]) & ~0xFFFFFu, 0x00200000u) << "the write flag alone, always";
        ASSERT_LT(uint32_t(v[2]), 1u << 20) << "a data register holds a 20-bit sample";
    }

    int32_t control = 1234;
    ASSERT_EQ(ifGPRMemoryWrite(0x103, &control), 0);
    int32_t copied = 0;
    const uint32_t writtenAt = lastCount;
    ASSERT_TRUE(Eventually([&] {
        int32_t count = 0;
        return ifGPRMemoryRead(0x100, &count) != 0 || uint32_t(count) >= writtenAt + 2000;
    })) << "the DSP stopped running";
    ASSERT_EQ(ifGPRMemoryRead(0x103, &control), 0);
    ASSERT_EQ(ifGPRMemoryRead(0x104, &copied), 0);
    EXPECT_EQ(control, 1234) << "the running block did not put back the old value";
    EXPECT_EQ(copied, 1234) << "the DSP ran with the host's write";
}

TEST(DspService, EmuapsdRefusesBadPatchesAndMixedOptions) {
    TempDir dir;
    EmuapsdRun missing =
        RunEmuapsdToEnd(dir, {"--image", kImages + "demo.chip", "--patch", "/nonexistent.emu10k1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.log, "emuapsd: /nonexistent.emu10k1: No such file or directory\n");
    EXPECT_EQ(RunEmuapsdToEnd(dir, {"--card", "0", "--run"}).status, 2);
    EXPECT_EQ(RunEmuapsdToEnd(dir, {"--card", "0", "--patch", "x.emu10k1"}).status, 2);
    EXPECT_EQ(RunEmuapsdToEnd(dir, {"--patch"}).status, 2);
}

} // namespace
