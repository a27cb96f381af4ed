// How a request and its answer travel on the control socket: the request is
// one line; the answer is "<status> <text>\n" (0 done, 1 refused, 2 a usage
// mistake), and when its text ends in "; bytes B", B bytes follow the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The longest request line the service reads, its end not counted.
constexpr std::size_t kMaxRequestLine = 4096;
// A line is short; only a payload after it is long.
constexpr std::size_t kMaxAnswerLine = 65536;
// The most bytes an answer carries after its line: four registers of the
// longest samples answer.
constexpr uint64_t kMaxAnswerPayload = uint64_t(131072) * 4 * sizeof(int32_t);

// The bytes to send for an answer: its text on one line (line ends in it
// become spaces), then the payload.
std::string AnswerFrame(int status, std::string text, const std::string& payload = {});

// Any answer whose text ends in "; bytes B" is followed by B bytes; 0 for
// the others (and for a B that is not a count).
uint64_t AnswerPayloadBytes(const std::string& text);

struct AnswerLine {
    int status = 1;
    std::string text;
};
// The status and text of an answer's line, its line end included; nullopt
// for a line in no form the protocol has.
std::optional<AnswerLine> ParseAnswerLine(const std::string& line);
