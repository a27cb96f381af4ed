// The exports before and after a failed open. The order of the tests
// matters when the binary runs them in one process: the first needs a
// process in which ifInitApsIo was never called.
#include "in_process_service.h"
#include "request_recorder.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void ExpectEveryExportRefuses() {
    RequestRecorder recorder;
    int32_t value = 42;
    int32_t values[3] = {42, 42, 42};
    MicrocodeInstruction instr{1, 2, 3, 4, 5};
    EXPECT_EQ(ifGPRMemoryRead(0x100, &value), 1);
    EXPECT_EQ(ifGPRMemoryReadAll(0x100, 3, values), 1);
    EXPECT_EQ(ifGPRMemoryWrite(0x100, &value), 1);
    EXPECT_EQ(ifInstrMemoryRead(0, &instr), 1);
    EXPECT_EQ(ifInstrMemoryReadAll(1, &instr), 1);
    EXPECT_EQ(ifInstrMemoryWrite(0, &instr), 1);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(values[2], 42);
    EXPECT_EQ(instr.R, 5);
    EXPECT_TRUE(recorder.requests().empty());
}

TEST(ZendraUnopened, ExportsBeforeTheOpenReturnOneAndSendNothing) {
    InProcessService service;
    ExpectEveryExportRefuses();
}

TEST(ZendraUnopened, FailedOpenLeavesEveryExportInert) {
    TempDir empty;
    setenv("XDG_RUNTIME_DIR", empty.path().c_str(), 1);
    EXPECT_EQ(ifInitApsIo(), 1);
    // A service that appears later is not reached through the failed handle.
    InProcessService service;
    ExpectEveryExportRefuses();
}

} // namespace
