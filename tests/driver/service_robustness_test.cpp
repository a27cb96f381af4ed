// The service against clients that misbehave: garbage and truncated frames
// on the socket, stalls, garbage written into the shared chip while its DSP
// runs, a second client, another user. Each costs only its own connection;
// the next client is served.
#include "dsp_runner.h"
#include "in_process_service.h"
#include "loaded_program.h"
#include "raw_client.h"
#include "support/eventually.h"

#include "aps_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const int kHelloTimeoutMs = 300;

// A well-behaved client: is handed the chip, sets the pointer through it and
// reads it back. Retries while the service is still dropping the previous
// connection.
bool GoodClientServed(const std::string& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        RawSession s(path);
        if (!s.ok()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        ApsChipPorts ports = s.ports();
        uint32_t pointer = 0;
        return ApsChipPortWrite(&ports, APS_PORT_POINTER, 0x01230000) &&
               ApsChipPortRead(&ports, APS_PORT_POINTER, &pointer) && pointer == 0x01230000;
    }
    return false;
}

class ServiceRobustness : public ::testing::Test {
  protected:
    InProcessService service{kHelloTimeoutMs};
    std::mt19937 random{20240611};

    std::string RandomBytes(std::size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = char(random() & 0xFF);
        return bytes;
    }
};

TEST_F(ServiceRobustness, RandomAndTruncatedFramesOnTheSocketDropOnlyThatClient) {
    for (int round = 0; round < 20; ++round) {
        int fd = RawConnect(service.socketPath());
        ASSERT_GE(fd, 0);
        std::string junk = RandomBytes(1 + random() % 200);
        RawSend(fd, junk.data(), junk.size());
        EXPECT_TRUE(RawSeesHangUp(fd, 3000)) << "round " << round;
        close(fd);
    }
    // Half a hello, then gone.
    int fd = RawConnect(service.socketPath());
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    RawSend(fd, &hello, 4);
    close(fd);
    // A hello with the wrong version.
    fd = RawConnect(service.socketPath());
    ApsHello old = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION + 1};
    RawSend(fd, &old, sizeof old);
    EXPECT_TRUE(RawSeesHangUp(fd, 3000));
    close(fd);
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
}

TEST_F(ServiceRobustness, ClientThatStallsInTheHandshakeIsDroppedInTime) {
    int fd = RawConnect(service.socketPath());
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    RawSend(fd, &hello, 5);
    EXPECT_TRUE(RawSeesHangUp(fd, 10 * kHelloTimeoutMs));
    EXPECT_TRUE(service.waitForLog("no hello in time"));
    close(fd);
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
}

TEST_F(ServiceRobustness, AnythingSentAfterTheHandshakeDropsTheConnection) {
    // Trailing bytes in the same write as the hello.
    int fd = RawConnect(service.socketPath());
    char helloAndMore[sizeof(ApsHello) + 3];
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    std::memcpy(helloAndMore, &hello, sizeof hello);
    std::memcpy(helloAndMore + sizeof hello, "xyz", 3);
    RawSend(fd, helloAndMore, sizeof helloAndMore);
    EXPECT_TRUE(RawSeesHangUp(fd, 3000));
    close(fd);

    RawSession session(service.socketPath());
    ASSERT_TRUE(session.ok());
    RawSend(session.fd(), "!", 1);
    EXPECT_TRUE(RawSeesHangUp(session.fd(), 3000));
    EXPECT_TRUE(service.waitForLog("sent data after the handshake"));
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
}

// The client can write anything into the memory it shares with the service,
// while the DSP runs on it: the DSP must stay inside its registers, delay
// lines and code, and the service must go on serving.
TEST_F(ServiceRobustness, GarbageInTheSharedChipCannotCrashTheServiceOrMisleadItsDsp) {
    const std::string images = std::string(VELMORA_SOURCE_DIR) + "/driver/images/";
    ChipImageResult demo =
        LoadChipWithPatch(images + "demo.chip", images + "demo-chorus-echo.emu10k1", nullptr);
    ASSERT_TRUE(demo.image) << demo.describe();
    service.chip().Load(*demo.image);
    {
        DspRunner dsp(service.chip(), DspPacing{48000, 48, 480});
        RawSession session(service.socketPath());
        ASSERT_TRUE(session.ok());
        uint32_t* words = reinterpret_cast<uint32_t*>(session.chip());
        const std::size_t count = APS_SHARED_CHIP_SIZE / 4;
        // Whole-memory patterns first: every address, flag and operand at its limit.
        for (uint32_t pattern : {0xFFFFFFFFu, 0x00000000u, 0x7FFFFFFFu, 0x80000000u}) {
            for (std::size_t i = 0; i < count; ++i)
                ApsStoreWord(&words[i], pattern);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        while (std::chrono::steady_clock::now() < end) {
            for (int n = 0; n < 256; ++n) {
                uint32_t value = uint32_t(random());
                if (n % 4 == 0) // flags and addresses near their edges
                    value |= 0x00F00000u | (random() % 2 ? 0x000FFFFFu : 0u);
                ApsStoreWord(&words[random() % count], value);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
    // The DSP survived and still runs the chip it is given.
    service.chip().Load(*demo.image);
    DspRunner dsp(service.chip());
    ChipImage before = service.chip().Snapshot();
    EXPECT_TRUE(Eventually([&] { return service.chip().Snapshot() != before; }));
}

TEST_F(ServiceRobustness, SecondClientIsRefusedWhileTheFirstHoldsTheDevice) {
    RawSession first(service.socketPath());
    ASSERT_TRUE(first.ok());
    int fd = RawConnect(service.socketPath());
    ASSERT_GE(fd, 0);
    ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
    RawSend(fd, &hello, sizeof hello);
    RawWelcome w = RawReceiveWelcome(fd, 3000);
    EXPECT_TRUE(w.received);
    EXPECT_EQ(w.welcome.status, uint32_t(APS_WELCOME_BUSY));
    EXPECT_TRUE(RawSeesHangUp(fd, 3000));
    close(fd);
    EXPECT_TRUE(w.fds.empty());
    // The first client never noticed.
    EXPECT_FALSE(RawSeesHangUp(first.fd(), 50));
}

TEST_F(ServiceRobustness, ClientOfAnotherUserIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a client as another user";
    // Let anyone reach the socket, so only the credential check stands in the way.
    ASSERT_EQ(chmod(service.folder().c_str(), 0711), 0);
    ASSERT_EQ(chmod(service.socketPath().c_str(), 0666), 0);
    const uid_t nobody = 65534;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(nobody) != 0 || setuid(nobody) != 0)
            _exit(10);
        int fd = RawConnect(service.socketPath());
        if (fd < 0)
            _exit(11);
        ApsHello hello = {APS_HELLO_MAGIC, APS_PROTOCOL_VERSION};
        RawSend(fd, &hello, sizeof hello);
        RawWelcome w = RawReceiveWelcome(fd, 3000);
        bool refused = w.received && w.welcome.status == APS_WELCOME_REFUSED && w.fds.empty();
        _exit(refused ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: setuid failed, 11: connect failed, 12: not refused";
    EXPECT_TRUE(service.waitForLog("refused a client of user 65534"));
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
}

} // namespace
