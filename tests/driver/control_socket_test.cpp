// The control socket of a real emuapsd serving the demo: each row a way a
// client once went unanswered or the service failed to end.
#include "control_client.h"
#include "raw_client.h"
#include "samples_answer.h"
#include "support/emuapsctl_run.h"
#include "support/eventually.h"
#include "support/service_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
const std::string kImages = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";

struct Served {
    TempDir dir;
    ServiceProcess service{dir.path(),
                           kImages + "demo.chip",
                           dir.path() + "/log",
                           {"--patch", kImages + "demo-chorus-echo.emu10k1"}};
    pid_t watcher = -1;
    ~Served() {
        if (watcher > 0)
            kill(watcher, SIGKILL);
        if (service.pid() > 0)
            kill(service.pid(), SIGCONT);
    }
    // status, or another verb, and how long emuapsctl took for it.
    std::string Ctl(const std::string& args = "status", double* seconds = nullptr) {
        const auto start = Clock::now();
        const EmuapsctlSaid said = RunEmuapsctl(dir.path(), args);
        if (seconds)
            *seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return std::to_string(said.status) + " " + said.text;
    }
    // 0x1FF is written by no instruction of the demo: an hour of the chip.
    bool StartLongWatch() {
        watcher = std::stoi(Ctl("watch 0x1ff --for 3600 >/dev/null 2>&1 & echo $!").substr(2));
        return Eventually(
            [&] { return Ctl().starts_with("0 running a client's 'watch 0x1ff --for 3600'"); });
    }
};

// Each check says what went wrong, or "".
const std::vector<std::pair<const char*, std::function<std::string(Served&)>>> kRows = {
    {"status and stop waited for a long watch",
     [](Served& s) {
         // stop answers once the watch has let go: the next step is not refused.
         const bool stopped =
             s.StartLongWatch() &&
             s.Ctl("stop").ends_with("; ended a client's 'watch 0x1ff --for 3600'\n");
         const std::string step = s.Ctl("step");
         return stopped && step.starts_with("0 stepped") ? "" : step;
     }},
    {"a silent client held up the next ones",
     [](Served& s) {
         std::vector<int> silent(12);
         for (int& fd : silent)
             fd = RawConnect(s.dir.path() + "/emuaps.ctl");
         double seconds = 0;
         const std::string said = s.Ctl("status", &seconds);
         for (int fd : silent)
             close(fd);
         return said.starts_with("0 ") && seconds < 1.5 ? ""
                                                        : std::to_string(seconds) + " s: " + said;
     }},
    {"a killed client's watch ran on",
     [](Served& s) {
         if (!s.StartLongWatch() || kill(s.watcher, SIGKILL) != 0)
             return std::string("no watch");
         std::string said;
         Eventually([&] { return !(said = s.Ctl()).starts_with("0 running a client's"); });
         const bool moved = said.starts_with("0 stopped; ") && !said.starts_with("0 stopped; 0 ");
         return moved && s.service.waitForLog("went away") ? "" : said;
     }},
    {"SIGTERM waited for a long watch",
     [](Served& s) {
         if (!s.StartLongWatch())
             return std::string("no watch");
         const auto start = Clock::now();
         const int status = s.service.stop();
         std::string wrong = Clock::now() - start < std::chrono::seconds(1) ? "" : "late";
         for (const char* name : {"/emuaps.vxd", "/emuaps.ctl", "/emuaps.d"})
             if (access((s.dir.path() + name).c_str(), F_OK) == 0)
                 wrong += std::string(" left ") + name;
         return status == 0 ? wrong : wrong + " status " + std::to_string(status);
     }},
    {"emuapsctl waited for ever on a stopped service",
     [](Served& s) {
         kill(s.service.pid(), SIGSTOP);
         double seconds = 0;
         const std::string said = s.Ctl("status", &seconds);
         return said.find("1 emuapsctl: emuapsd did not answer") == 0 && seconds < 10 ? "" : said;
     }},
    {"a request over 4 KiB was dropped without a word",
     [](Served& s) {
         const int fd = RawConnect(s.dir.path() + "/emuaps.ctl");
         const std::string request = std::string(5120, 'x') + "\n";
         char reply[256] = {};
         pollfd answered = {fd, POLLIN, 0};
         if (RawSend(fd, request.data(), request.size()) && poll(&answered, 1, 5000) == 1)
             recv(fd, reply, sizeof reply - 1, 0);
         close(fd);
         const bool logged = s.service.waitForLog("longer than 4096");
         return std::string(reply).starts_with("1 ") && logged
                    ? ""
                    : "answered '" + std::string(reply) + "'";
     }},
};

TEST(ControlSocket, EveryClientIsAnsweredAndTheServiceEndsWhateverRuns) {
    std::string mismatches;
    for (const auto& [fault, check] : kRows) {
        Served served;
        ASSERT_TRUE(served.service.waitForLog("control at"));
        if (const std::string wrong = check(served); !wrong.empty())
            mismatches += std::string("\n") + fault + ": " + wrong;
    }
    EXPECT_EQ(mismatches, "");
}

// Two seconds of four registers (1.5 MiB) through the real socket and client,
// whole: the newest sample of each is what the stopped chip holds.
TEST(ControlSocket, ALargePayloadArrivesWholeThroughTheClient) {
    TempDir dir;
    ServiceProcess service{dir.path(),
                           kImages + "demo.chip",
                           dir.path() + "/log",
                           {"--patch", kImages + "demo-chorus-echo.emu10k1", "--names",
                            kImages + "demo-chorus-echo.dbg"}};
    ASSERT_TRUE(service.waitForLog("control at"));
    ASSERT_EQ(RunEmuapsctl(dir.path(), "advance 96000").status, 0);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    const std::vector<std::string> regs = {"sinx", "cosx", "sweep", "wet"};
    const ControlReply reply = AskService("samples 0 sinx cosx sweep wet");
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(reply.status, 0) << reply.text;
    const std::optional<SamplesHeader> h = ParseSamplesHeader(reply.text);
    ASSERT_TRUE(h) << reply.text;
    EXPECT_EQ(h->count, 96000);
    EXPECT_EQ(h->at, 96000u);
    ASSERT_EQ(reply.payload.size(), h->bytes);
    const auto columns = SamplesColumns(*h, reply.payload);
    ASSERT_EQ(columns.size(), regs.size());
    for (std::size_t c = 0; c < regs.size(); ++c) {
        const std::string got = RunEmuapsctl(dir.path(), "get " + regs[c]).text;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", uint32_t(columns[c].back()));
        EXPECT_NE(got.find(std::string("= ") + hex), std::string::npos) << got;
    }
    const std::string summary = RunEmuapsctl(dir.path(), "samples 95990 sinx").text;
    EXPECT_EQ(summary, "first 95990, count 10, at 96000, stopped, load 1\n");
    const std::string controls = RunEmuapsctl(dir.path(), "controls").text;
    EXPECT_TRUE(controls.starts_with("6 controls\nrate (0x")) << controls;
    EXPECT_NE(controls.find(") = 0x000C0000: 384 samples (8 ms) in 192 to 576 samples (4 to 12 ms)"),
              std::string::npos)
        << "centre, &0.008 in &0.004 to &0.012: " << controls;
}

} // namespace
