// Colouring of the listing language "D8010": register names and opcode names
// (matched without regard to case), "//" line comments and "/* */" block
// comments. Works on plain text so it is tested without a view.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

enum class ListingStyle : int { Default = 0, Register = 1, Opcode = 2, Comment = 3 };

// The two word classes, each given as names joined by line feeds.
class ListingWords {
  public:
    ListingWords(std::string_view registerList, std::string_view opcodeList);
    // Register names win over opcode names spelled the same.
    ListingStyle StyleOfWord(std::string_view word) const;

  private:
    std::unordered_set<std::string> registers_;
    std::unordered_set<std::string> opcodes_;
};

struct StyleRun {
    std::size_t length;
    ListingStyle style;
};

struct ListingScan {
    std::vector<StyleRun> runs; // cover the whole text, adjacent runs differ
    // For every line feed in the text, in order: whether a block comment is
    // still open after that line.
    std::vector<bool> blockOpenAfterLine;
};

// A word is a run of characters other than spaces, tabs and line ends that
// does not contain the start of a comment.
ListingScan ScanListing(std::string_view text, bool inBlockComment, const ListingWords& words);
