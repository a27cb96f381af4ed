// The exports before and after a failed open. The order of the tests
// matters when the binary runs them in one process: the first needs a
// process in which ifInitApsIo was never called.
#include "in_process_service.h"
#include "request_recorder.h"
#include "support/every_export_fails.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void ExpectEveryExportRefuses() {
    RequestRecorder recorder;
    ExpectEveryExportFailsAndLeavesTheValuesAlone();
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
