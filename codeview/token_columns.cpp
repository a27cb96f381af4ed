#include "token_columns.h"

#include <algorithm>
#include <cstdlib>

TokenColumns TokenStarts(std::string_view line) {
    const int length = static_cast<int>(line.size());
    TokenColumns starts;
    starts.fill(length + 1);
    int count = 0;
    bool afterSeparator = true;
    for (int column = 0; column < length && count < 7; ++column) {
        const bool separator = line[column] == ' ' || line[column] == '\t';
        if (!separator && afterSeparator)
            starts[count++] = column;
        afterSeparator = separator;
    }
    // A seventh token (inside the hex comment) is not a field boundary.
    starts[6] = length + 1;
    return starts;
}

FieldHit FieldAtSelection(const SelectionSpan& selection, std::string_view startLineText) {
    const int column = std::min(selection.startColumn, selection.endColumn);
    const TokenColumns starts = TokenStarts(startLineText);
    for (int field = 0; field <= 4; ++field) {
        if (starts[field] <= column && column < starts[field + 1]) {
            const bool oneLine = selection.startLine == selection.endLine;
            const int width = std::abs(selection.endColumn - selection.startColumn);
            const bool fits = width <= starts[field + 1] - starts[field];
            return {oneLine && fits, selection.startLine, field};
        }
    }
    return {};
}
