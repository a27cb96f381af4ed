// The service against clients that misbehave: garbage and truncated frames
// on the socket, stalls, garbage in the shared slot, hang-ups in the middle
// of a request, a second client, another user. Each costs only its own
// connection; the next client is served.
#include "in_process_service.h"
#include "raw_client.h"

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

// A well-behaved client: sets the pointer and reads it back. Retries while
// the service is still dropping the previous connection.
bool GoodClientServed(const std::string& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        RawSession s(path);
        if (!s.ok()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        uint8_t block[APS_REQUEST_SIZE];
        ApsIoRequest write = {APS_FN_WRITE_PORT, APS_PORT_POINTER, 0x01230000};
        ApsPackRequest(&write, block);
        uint32_t status = 1, output = 0;
        if (!s.request(APS_IOCTL_CODE, block, sizeof block, 0, status, output) || status != 0)
            return false;
        ApsIoRequest read = {APS_FN_READ_PORT, APS_PORT_POINTER, 0};
        ApsPackRequest(&read, block);
        return s.request(APS_IOCTL_CODE, block, sizeof block, 4, status, output) && status == 0 &&
               output == 0x01230000;
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

TEST_F(ServiceRobustness, GarbageInTheSlotFailsThoseRequestsOnly) {
    {
        RawSession session(service.socketPath());
        ASSERT_TRUE(session.ok());
        int answered = 0, accepted = 0;
        for (int round = 0; round < 300; ++round) {
            std::string input = RandomBytes(APS_SLOT_INPUT_MAX);
            // Some rounds keep a valid header so the deeper checks are reached.
            if (round % 3 == 0) {
                ApsIoRequest r = {uint16_t(random() % 8), uint16_t(random() % 6),
                                  uint32_t(random())};
                ApsPackRequest(&r, reinterpret_cast<uint8_t*>(input.data()));
            }
            uint32_t sizes[] = {0, 21, 22, 23, 64, 65, 0xFFFFFFFFu, uint32_t(random())};
            uint32_t inSize = sizes[random() % 8];
            uint32_t outSize = sizes[random() % 8];
            uint32_t code = round % 2 ? uint32_t(APS_IOCTL_CODE) : uint32_t(random());
            uint32_t status = 0, output = 0;
            if (session.request(code, input.data(), inSize, outSize, status, output))
                ++answered;
            accepted += status == 0;
        }
        EXPECT_EQ(answered, 300) << "every request gets an answer";
        EXPECT_LT(accepted, 300);
        // Scribble over the whole slot, sequence words included.
        std::string junk = RandomBytes(APS_SLOT_SIZE);
        std::memcpy(session.slot(), junk.data(), junk.size());
        ApsFutexWake(&session.slot()->request_seq);
    }
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
}

TEST_F(ServiceRobustness, ClientThatVanishesMidRequestCostsOnlyItsConnection) {
    auto hangUps = [&] {
        auto log = service.log();
        return std::count_if(log.begin(), log.end(), [](const std::string& line) {
            return line.find("hung up") != std::string::npos;
        });
    };
    for (int round = 0; round < 5; ++round) {
        {
            RawSession session(service.socketPath());
            ASSERT_TRUE(session.ok());
            uint8_t block[APS_REQUEST_SIZE];
            ApsIoRequest r = {APS_FN_READ_PORT, APS_PORT_DATA, 0};
            ApsPackRequest(&r, block);
            session.publish(APS_IOCTL_CODE, block, sizeof block, 4);
        }
        // The device is free again only once the service has seen the hang-up.
        for (int wait = 0; wait < 2500 && hangUps() <= round; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(hangUps(), round + 1);
    }
    EXPECT_TRUE(GoodClientServed(service.socketPath()));
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
    EXPECT_LT(w.slotFd, 0);
    EXPECT_TRUE(RawSeesHangUp(fd, 3000));
    close(fd);
    // The first client never noticed.
    uint8_t block[APS_REQUEST_SIZE];
    ApsIoRequest r = {APS_FN_READ_PORT, APS_PORT_POINTER, 0};
    ApsPackRequest(&r, block);
    uint32_t status = 1, output = 0;
    EXPECT_TRUE(first.request(APS_IOCTL_CODE, block, sizeof block, 4, status, output));
    EXPECT_EQ(status, 0u);
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
        bool refused = w.received && w.welcome.status == APS_WELCOME_REFUSED && w.slotFd < 0;
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
