// The framing and the dispatcher against every kind of input an editor, or
// something posing as one, may send: each message whole or an error
// response, never a crash, and broken framing stays broken.
#include "dap_dispatcher.h"
#include "dap_framing.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

std::string Framed(const std::string& body) {
    return DapFrameText(body);
}

struct FramingRow {
    const char* label;
    std::vector<std::string> chunks;
    std::vector<std::string> bodies; // what comes out, in order
    bool broken;
};

} // namespace

TEST(DapFraming, WholeMessagesComeOutAndBrokenFramingStaysBroken) {
    const std::string a = R"({"seq":1})", b = R"({"seq":2,"x":"é"})";
    const std::string twoA = Framed(a) + Framed(a);
    std::vector<std::string> bytes;
    for (char c : Framed(b))
        bytes.emplace_back(1, c);
    const FramingRow rows[] = {
        {"one whole", {Framed(a)}, {a}, false},
        {"two in one read", {Framed(a) + Framed(b)}, {a, b}, false},
        {"split at every byte", bytes, {b}, false},
        {"split in the header's end", {"Content-Length: 9\r\n\r", "\n" + a}, {a}, false},
        {"other headers and spacing",
         {"Content-Type: x\r\ncontent-length:  9 \r\n\r\n" + a},
         {a},
         false},
        {"a body still coming", {"Content-Length: 50\r\n\r\n" + a}, {}, false},
        {"a too short length splits the body", {"Content-Length: 4\r\n\r\n" + a}, {"{\"se"}, false},
        {"no Content-Length", {"Content-Type: x\r\n\r\n" + a}, {}, true},
        {"a length that is no number", {"Content-Length: nine\r\n\r\n" + a}, {}, true},
        {"a negative length", {"Content-Length: -9\r\n\r\n" + a}, {}, true},
        {"a length past the limit", {"Content-Length: 999999999\r\n\r\n"}, {}, true},
        {"a zero length", {"Content-Length: 0\r\n\r\n"}, {}, true},
        {"a line without a colon", {"Content-Length 9\r\n\r\n" + a}, {}, true},
        {"two lengths that differ",
         {"Content-Length: 9\r\nContent-Length: 8\r\n\r\n" + a},
         {},
         true},
        {"a header that never ends", {std::string(kMaxDapHeader + 1, 'x')}, {}, true},
        {"nothing after broken framing", {"garbage\r\n\r\n", Framed(a)}, {}, true},
        {"a good one before broken framing", {twoA + "bad\r\n\r\n" + Framed(a)}, {a, a}, true},
    };
    for (const FramingRow& row : rows) {
        DapFrameReader reader;
        std::vector<std::string> got;
        for (const std::string& chunk : row.chunks) {
            reader.Feed(chunk);
            while (auto body = reader.Next())
                got.push_back(*body);
        }
        EXPECT_EQ(got, row.bodies) << row.label;
        EXPECT_EQ(reader.broken(), row.broken) << row.label << ": " << reader.why();
    }
}

TEST(DapDispatcher, WhatIsNoGoodRequestGetsAnErrorResponseAndAGoodOneItsHandler) {
    std::vector<QJsonObject> sent;
    DapOutput output([&sent](const QByteArray& json) {
        sent.push_back(QJsonDocument::fromJson(json).object());
    });
    DapDispatcher dispatcher(output);
    dispatcher.Add("count", [](const DapArguments& args) {
        return DapReply{{{"n", args.Integer("n")}, {"s", args.String("s", "none")}}};
    });
    struct Row {
        const char* label;
        std::string body;
        bool success;
    } rows[] = {
        {"a good request", R"({"seq":5,"type":"request","command":"count","arguments":{"n":3}})",
         true},
        {"not JSON", "{seq:", false},
        {"JSON but no object", "[1,2]", false},
        {"an event, not a request", R"({"seq":1,"type":"event","command":"count"})", false},
        {"no seq", R"({"type":"request","command":"count","arguments":{"n":1}})", false},
        {"a command that is no string", R"({"seq":1,"type":"request","command":7})", false},
        {"an unknown command", R"({"seq":1,"type":"request","command":"fly"})", false},
        {"arguments that are no object",
         R"({"seq":1,"type":"request","command":"count","arguments":3})", false},
        {"a required integer missing", R"({"seq":1,"type":"request","command":"count"})", false},
        {"an integer that is a string",
         R"({"seq":1,"type":"request","command":"count","arguments":{"n":"3"}})", false},
        {"an integer with a fraction",
         R"({"seq":1,"type":"request","command":"count","arguments":{"n":1.5}})", false},
        {"an optional string that is a number",
         R"({"seq":1,"type":"request","command":"count","arguments":{"n":1,"s":2}})", false},
    };
    for (const Row& row : rows) {
        sent.clear();
        dispatcher.Dispatch(row.body);
        ASSERT_EQ(sent.size(), 1u) << row.label;
        EXPECT_EQ(sent[0].value("type").toString(), "response") << row.label;
        EXPECT_EQ(sent[0].value("success").toBool(), row.success) << row.label;
        EXPECT_EQ(sent[0].contains("message"), !row.success) << row.label;
    }
    EXPECT_EQ(sent.back().value("request_seq").toInt(), 1);
    dispatcher.Dispatch(rows[0].body);
    EXPECT_EQ(sent.back().value("body").toObject().value("n").toInt(), 3);
    EXPECT_EQ(sent.back().value("request_seq").toInt(), 5);
}
