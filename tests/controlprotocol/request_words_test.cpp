// A request's words on the wire: whatever they hold, RequestLine's one line
// reads back as the same words; a line without quotes reads as it did when
// words were split at white space, and a broken quote is a mistake.
#include "verb_words.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(RequestWords, AnyWordsComeBackFromTheirLineAndALineWithoutQuotesReadsAsAlways) {
    for (const Words& words : std::vector<Words>{
             {"trace", "0x20", "--to", "/a folder/out.csv"},
             {"/tab\there", "two  spaces", " lead", "trail "},
             {"quote\"in", "\"leading", "\"", "\"\"", "a\"", "b"},
             {"back\\slash", "\\", "\\\"", "end\\"},
             {"/é ü/日本.wav", "-x", "--last", ""},
             {"new\nline", "cr\r", "\n", "\v\f"},
         }) {
        const std::string line = RequestLine(words);
        EXPECT_EQ(line.find_first_of("\n\r"), std::string::npos) << line;
        std::string mistake;
        EXPECT_EQ(RequestWords(line, &mistake), words) << line;
        EXPECT_EQ(mistake, "") << line;
    }
    const struct {
        std::string line;
        Words words;
        std::string mistake;
    } rows[] = {
        {"get fb  0x106", {"get", "fb", "0x106"}, ""},
        {"\tstatus \r", {"status"}, ""},
        {"set a\"b x\\y", {"set", "a\"b", "x\\y"}, ""},
        {"get \"fb", {"get"}, "a quoted word has no closing quote"},
        {"get \"a\\x\"", {"get"}, "a quoted word escapes only \\\\, \\\", \\n and \\r"},
        {"get \"a\"b", {"get"}, "a quoted word ends at its closing quote"},
    };
    for (const auto& row : rows) {
        std::string mistake;
        EXPECT_EQ(RequestWords(row.line, &mistake), row.words) << row.line;
        EXPECT_EQ(mistake, row.mistake) << row.line;
    }
}

} // namespace
