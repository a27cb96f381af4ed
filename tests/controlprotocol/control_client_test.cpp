// The client against a service that answers each way a broken or hostile one
// may: it reads no more than an answer holds, never past what it announced,
// and says what was wrong as a value and in a line.
#include "answer_frame.h"
#include "aps_socket.h"
#include "control_client.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// Answers one client with bytes, then closes, or keeps it open until the
// client has gone.
void ServeOnce(int listening, const std::string& bytes, bool close) {
    const int fd = accept(listening, nullptr, nullptr);
    ASSERT_GE(fd, 0);
    char request[256];
    ASSERT_GT(recv(fd, request, sizeof request, 0), 0);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the client stopped reading, rightly
        sent += std::size_t(n);
    }
    while (!close && recv(fd, request, sizeof request, 0) > 0)
        ;
    ::close(fd);
}

TEST(ControlClient, EachWayAnAnswerCanGoWrongIsSaidAndNothingPastItIsRead) {
    const std::string huge = "0 x; bytes " + std::to_string(kMaxAnswerPayload + 1) + "\n";
    const struct {
        const char* what;
        std::string bytes;
        bool close;
        ControlTrouble trouble;
        int status;
        std::string text, payload;
    } rows[] = {
        {"an answer", "0 running\n", true, ControlTrouble::kNone, 0, "running", ""},
        {"a refusal", "1 no register is called x\n", true, ControlTrouble::kNone, 1,
         "no register is called x", ""},
        {"its payload", "0 a; bytes 4\nwxyz", true, ControlTrouble::kNone, 0, "a; bytes 4", "wxyz"},
        {"bytes beyond it", "0 a; bytes 2\nwxyz", true, ControlTrouble::kNone, 0, "a; bytes 2",
         "wx"},
        {"a count that lies", "0 a; bytes 8\nwxy", true, ControlTrouble::kBrokeOff, 1,
         "emuapsd's answer broke off after 3 of 8 bytes", ""},
        {"more than an answer holds", huge, false, ControlTrouble::kTooLarge, 1,
         "emuapsd announced " + std::to_string(kMaxAnswerPayload + 1) +
             " bytes after its answer, more than an answer holds",
         ""},
        {"a line without its end", "0 running", true, ControlTrouble::kNonsense, 1,
         "the service gave an answer that makes no sense", ""},
        {"an endless line", std::string(kMaxAnswerLine + 10, 'x'), false, ControlTrouble::kNonsense,
         1, "the service gave an answer that makes no sense", ""},
        {"no status", "7 running\n", true, ControlTrouble::kNonsense, 1,
         "the service gave an answer that makes no sense", ""},
        {"nothing", "", true, ControlTrouble::kClosed, 1,
         "emuapsd closed the connection without an answer", ""},
        {"silence", "", false, ControlTrouble::kSilent, 1,
         "emuapsd did not answer within 0 s (is it stopped?)", ""},
    };
    TempDir dir;
    const std::string path = dir.path() + "/emuaps.ctl";
    sockaddr_un addr;
    ASSERT_EQ(ApsSocketAddress(path.c_str(), &addr), 0);
    const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listening, 1), 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::thread service(ServeOnce, listening, row.bytes, row.close);
        const ControlReply reply = AskServiceAt(path, "status", 300);
        service.join();
        EXPECT_EQ(reply.trouble, row.trouble);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.text, row.text);
        EXPECT_EQ(reply.payload, row.payload);
    }
    close(listening);
    const ControlReply none = AskServiceAt(dir.path() + "/none.ctl", "status", 300);
    EXPECT_EQ(none.trouble, ControlTrouble::kUnreachable);
    EXPECT_EQ(none.text.rfind("cannot reach emuapsd at " + dir.path() + "/none.ctl: ", 0), 0u);
}

} // namespace
