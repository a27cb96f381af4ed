// Where the fields of a listing line are. A listing line reads
//   OPNAME  A X Y R  // 06 040 100 101 102
// and its tokens are separated by tabs and spaces, so the start columns of the
// first six tokens give the spans of the five fields (each span runs up to the
// next token and so includes the separators after it).
#pragma once

#include <array>
#include <string_view>

// Entries 0..5: 0-based start columns of the first six tokens; entry 6: the
// line length + 1. Entries a short line does not supply are line length + 1.
using TokenColumns = std::array<int, 7>;
TokenColumns TokenStarts(std::string_view line);

// A selection in line/column terms, start before end.
struct SelectionSpan {
    int startLine = 0;
    int startColumn = 0;
    int endLine = 0;
    int endColumn = 0;
};

struct FieldHit {
    bool found = false;
    int line = 0;
    int field = 0; // 0 opcode, 1 A, 2 X, 3 Y, 4 R
};

// The field the selection starts in. Not found when the selection starts
// outside the five fields (line 0, field 0 then), spans lines or is wider than
// the field (line and field still given). startLineText is the text of the
// selection's start line without its line end.
FieldHit FieldAtSelection(const SelectionSpan& selection, std::string_view startLineText);
