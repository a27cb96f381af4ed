// The real emuapsd against files that are not what they should be (chip
// images, patches, sound files), and against a client that never says hello:
// every refusal comes within a second, names the file and what it is
// instead, and costs little memory;
// SIGTERM ends the service even after such a reload; a silent client holds
// nothing.
#include "raw_client.h"
#include "support/emuapsd_run.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "wav_files.h"
#include "zendra.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kImages = std::string(VELMORA_PROGRAM_DIR) + "/images/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// A refusal: at once (well before the 5 s a stalled read would take, as a
// sanitized service on a busy machine may need more than a second to start),
// with the file and what it is, in little memory, and no socket left behind.
void ExpectRefused(const TempDir& dir, const std::vector<std::string>& args,
                   const std::string& message) {
    EmuapsdRun run = RunEmuapsdToEnd(dir, args);
    std::string what = args.back();
    EXPECT_EQ(run.status, 1) << what << "\n" << run.log;
    EXPECT_LT(run.seconds, 4.0) << what;
    EXPECT_NE(run.log.find(message), std::string::npos) << what << "\n" << run.log;
    EXPECT_LT(run.maxRssKb, 200 * 1024) << what;
    struct stat st;
    EXPECT_NE(stat((dir.path() + "/emuaps.vxd").c_str(), &st), 0) << what;
}

std::string Fifo(const TempDir& dir, const std::string& name) {
    std::string path = dir.path() + "/" + name;
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

std::string Sparse(const TempDir& dir, const std::string& name, off_t size) {
    std::string path = dir.write(name, "");
    EXPECT_EQ(truncate(path.c_str(), size), 0);
    return path;
}

TEST(EmuapsdInputs, ChipImagesThatAreNotImagesAreRefusedAtOnce) {
    TempDir dir;
    std::string fifo = Fifo(dir, "image.fifo");
    ExpectRefused(dir, {"--image", fifo}, fifo + ": it is a FIFO");
    std::string folder = dir.path() + "/folder";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ExpectRefused(dir, {"--image", folder}, folder + ": it is a folder");
    ExpectRefused(dir, {"--image", "/dev/zero"}, "/dev/zero: it is a device");
    std::string huge = Sparse(dir, "huge.chip", off_t(1) << 30);
    ExpectRefused(dir, {"--image", huge}, huge + ": it is too large (1073741824 bytes");
    std::string demo = ReadFile(kImages + "demo.chip");
    std::string cut = dir.write("cut.chip", demo.substr(0, demo.size() - 3));
    ExpectRefused(dir, {"--image", cut}, cut + ": line ");
    EXPECT_NE(RunEmuapsdToEnd(dir, {"--image", cut}).log.find("cut short"), std::string::npos);
}

TEST(EmuapsdInputs, PatchesThatAreNotPatchesOrDoNotFitAreRefusedAtOnce) {
    TempDir dir;
    const std::string demo = kImages + "demo.chip";
    std::string fifo = Fifo(dir, "patch.fifo");
    ExpectRefused(dir, {"--image", demo, "--patch", fifo}, fifo + ": it is a FIFO");
    ExpectRefused(dir, {"--image", demo, "--patch", dir.path()}, dir.path() + ": it is a folder");
    std::string huge = Sparse(dir, "huge.emu10k1", off_t(3) << 20);
    ExpectRefused(dir, {"--image", demo, "--patch", huge}, huge + ": it is too large");
    // The chip's own taps already run past both pools: no room is left, and
    // the patch is refused instead of placed outside them.
    std::string full = dir.write("full.chip", "emuaps-chip-image 1\n"
                                              "reg 0x300 0x001FFFFF\n"
                                              "reg 0x380 0x00230001\n");
    std::string patch = kImages + "demo-chorus-echo.emu10k1";
    ExpectRefused(dir, {"--image", full, "--patch", patch}, patch + ": no room for a ");
}

// A sound file that does not fit is refused before anything is made: the
// output file stays as it was, or is not there.
TEST(EmuapsdInputs, SoundFilesThatDoNotFitAreRefusedAtOnce) {
    TempDir dir;
    const std::string out = dir.path() + "/out.wav";
    auto render = [&](const std::string& input) {
        return std::vector<std::string>{"--render", "1", "--output", out, "--input", input};
    };
    Wav<int16_t> cd;
    cd.rate = 44100;
    cd.samples.assign(100, 0);
    ASSERT_TRUE(WriteWav(dir.path() + "/cd.wav", cd));
    ExpectRefused(dir, render(dir.path() + "/cd.wav"),
                  dir.path() + "/cd.wav: it is at 44100 Hz; the chip runs at 48000 Hz");
    Wav<int16_t> wide;
    wide.channels = 17;
    wide.samples.assign(17 * 10, 0);
    ASSERT_TRUE(WriteWav(dir.path() + "/wide.wav", wide));
    ExpectRefused(dir, render(dir.path() + "/wide.wav"), "it has 17 channels");
    std::string text = dir.write("text.wav", "RIFF this is not\n");
    ExpectRefused(dir, render(text), text + ": it is not a sound file libsndfile reads");
    std::string fifo = Fifo(dir, "sound.fifo");
    ExpectRefused(dir, render(fifo), fifo + ": it is a FIFO");
    struct stat st;
    EXPECT_NE(stat(out.c_str(), &st), 0) << "no output for a refused input";

    // Nor is the output taken where it would destroy something.
    Wav<int16_t> fine;
    fine.samples.assign(100, 0);
    const std::string input = dir.path() + "/fine.wav";
    ASSERT_TRUE(WriteWav(input, fine));
    ExpectRefused(dir, {"--render", "1", "--input", input, "--output", input},
                  input + ": it is the input file");
    EXPECT_EQ(ReadPcm16Wav(input).frames(), 100);
    ExpectRefused(dir, {"--render", "1", "--output", dir.path()},
                  dir.path() + ": it is a folder, not a file to record into");
}

TEST(EmuapsdInputs, AReloadOfAFifoKeepsTheChipAndSigtermStillEndsTheService) {
    TempDir dir;
    std::string image = dir.write("chip.txt", "emuaps-chip-image 1\nreg 0x100 7\n");
    std::string log = dir.path() + "/service.log";
    ServiceProcess service(dir.path(), image, log);
    ASSERT_EQ(unlink(image.c_str()), 0);
    ASSERT_EQ(mkfifo(image.c_str(), 0600), 0);
    service.reload();
    EXPECT_TRUE(service.waitForLog("keeping the current chip; " + image + ": it is a FIFO", 1000))
        << ReadFile(log);
    const auto start = Clock::now();
    EXPECT_EQ(service.stop(), 0);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
    struct stat st;
    EXPECT_NE(stat((dir.path() + "/emuaps.vxd").c_str(), &st), 0);
}

// A client that connects, never says hello and reconnects each time it is
// dropped holds nothing: every legitimate open beside it succeeds and reads.
TEST(EmuapsdInputs, ASilentReconnectingClientCannotKeepOthersOut) {
    TempDir dir;
    ServiceProcess service(dir.path(), kImages + "demo.chip");
    const std::string socket = service.socketPath();
    pid_t silent = fork();
    ASSERT_GE(silent, 0);
    if (silent == 0) {
        for (;;) {
            int fd = RawConnect(socket);
            if (fd >= 0)
                RawSeesHangUp(fd, 10000);
            close(fd);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    int opened = 0;
    const int kOpens = 12;
    for (int i = 0; i < kOpens; ++i) {
        pid_t legit = fork();
        ASSERT_GE(legit, 0);
        if (legit == 0) {
            int32_t value = 0;
            _exit(ifInitApsIo() == 0 && ifGPRMemoryRead(0x100, &value) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(legit, &status, 0);
        opened += WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    kill(silent, SIGKILL);
    waitpid(silent, nullptr, 0);
    EXPECT_EQ(opened, kOpens);
}

} // namespace
