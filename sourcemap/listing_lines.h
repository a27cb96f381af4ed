// Which source line made each instruction of an as10k1 listing. The listing
// names no lines: its lines are matched in order against the files as read,
// an include's lines against the included file; instructions that match no
// line (a macro's, listed with the macro's body) belong to the line that
// comes next, the macro's use.
#pragma once

#include "as10k1_listing.h"
#include "source_map.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ListingLines {
    std::vector<SourceFile> files;   // main first, then each included one
    std::vector<SourcePlace> places; // addresses are the patch's own indexes
    std::string error;
};

// read gives the lines of an included file by the name the include says, or
// nullopt when it cannot. Every one of the listing's instructions gets a line,
// or error says which did not.
ListingLines MatchListing(
    const As10k1Listing& listing, const SourceFile& main,
    const std::function<std::optional<std::vector<std::string>>(const std::string&)>& read);

// The lines of a text, without their line ends.
std::vector<std::string> TextLines(const std::string& text);
