// The running chip behind the service: the library sees registers move from
// one read to the next while the microcode stays put, and emuapsd's options
// for patches and running.
#include "dsp_runner.h"
#include "in_process_service.h"
#include "patch_placement.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <thread>
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
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(ifGPRMemoryReadAll(0x100, 512, second.data()), 0);
    ASSERT_EQ(ifInstrMemoryReadAll(512, codeSecond.data()), 0);
    int changed = 0;
    for (int i = 0; i < 512; ++i)
        changed += first[i] != second[i];
    EXPECT_GT(changed, 20);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(std::memcmp(&codeFirst[i], &codeSecond[i], sizeof codeFirst[i]), 0) << i;
    EXPECT_EQ(codeFirst[36].R, 0x11A) << "the patch's code is there";
}

struct Outcome {
    int status = -1;
    std::string output;
};

// Runs emuapsd with arguments that end it at once, capturing its messages.
Outcome Emuapsd(const std::string& arguments) {
    Outcome o;
    FILE* p = popen((kEmuapsd + " " + arguments + " 2>&1").c_str(), "r");
    if (!p)
        return o;
    char buf[512];
    while (std::size_t n = fread(buf, 1, sizeof buf, p))
        o.output.append(buf, n);
    int status = pclose(p);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

TEST(DspService, EmuapsdRefusesBadPatchesAndMixedOptions) {
    TempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    Outcome missing = Emuapsd("--image " + kImages + "demo.chip --patch /nonexistent.emu10k1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "emuapsd: /nonexistent.emu10k1: cannot read /nonexistent.emu10k1\n");
    EXPECT_EQ(Emuapsd("--card 0 --run").status, 2);
    EXPECT_EQ(Emuapsd("--card 0 --patch x.emu10k1").status, 2);
    EXPECT_EQ(Emuapsd("--patch").status, 2);
}

} // namespace
