// How names and values are stored when a symbol file defines, redefines and
// aliases them.
#include "symbol_table.h"

#include <gtest/gtest.h>

namespace {

std::string DisplayName(const SymbolTable& table, int32_t value) {
    const std::string* name = table.NameByValue().find(value);
    return name ? *name : "<none>";
}

std::vector<std::string> Names(const SymbolTable& table) {
    std::vector<std::string> names;
    for (const auto& entry : table.ValueByName().entries())
        names.push_back(entry.first);
    return names;
}

TEST(SymbolTable, FirstNameOfAValueIsItsDisplayNameAndAliasesStayKnown) {
    SymbolTable table;
    table.Store("A", 5, "");
    table.Store("B", 5, "");
    EXPECT_EQ(DisplayName(table, 5), "A");
    EXPECT_EQ(Names(table), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(*table.ValueByName().find("B"), 5);
}

TEST(SymbolTable, RedefiningTheDisplayNameLeavesTheOldValueUnnamed) {
    SymbolTable table;
    table.Store("A", 5, " one");
    table.Store("B", 5, "");
    table.Store("A", 6, " two");
    // B still means 5, but 5 is no longer displayed by any name.
    EXPECT_EQ(DisplayName(table, 5), "<none>");
    EXPECT_EQ(DisplayName(table, 6), "A");
    EXPECT_EQ(*table.ValueByName().find("A"), 6);
    EXPECT_EQ(*table.NoteByName().find("A"), " two");
    // A keeps its place in the name list.
    EXPECT_EQ(Names(table), (std::vector<std::string>{"A", "B"}));
}

TEST(SymbolTable, RedefinedNameDoesNotTakeOverANamedValue) {
    SymbolTable table;
    table.Store("C", 6, "");
    table.Store("A", 5, "");
    table.Store("A", 6, "");
    EXPECT_EQ(DisplayName(table, 6), "C");
    EXPECT_EQ(DisplayName(table, 5), "<none>");
}

TEST(SymbolTable, RedefiningAnAliasKeepsTheDisplayNameOfItsOldValue) {
    SymbolTable table;
    table.Store("A", 5, "");
    table.Store("B", 5, "");
    table.Store("B", 7, "");
    EXPECT_EQ(DisplayName(table, 5), "A");
    EXPECT_EQ(DisplayName(table, 7), "B");
}

TEST(SymbolTable, SameValueAgainKeepsTheFirstNote) {
    SymbolTable table;
    table.Store("A", 5, " one");
    table.Store("A", 5, " two");
    EXPECT_EQ(*table.NoteByName().find("A"), " one");
    EXPECT_EQ(table.ValueByName().size(), 1u);
    EXPECT_EQ(table.NoteByName().size(), 1u);
}

TEST(SymbolTable, LookupsStillWorkAfterAnEarlyDisplayNameIsRemoved) {
    SymbolTable table;
    table.Store("A", 1, "");
    table.Store("B", 2, "");
    table.Store("C", 3, "");
    table.Store("A", 9, "");
    EXPECT_EQ(DisplayName(table, 1), "<none>");
    EXPECT_EQ(DisplayName(table, 2), "B");
    EXPECT_EQ(DisplayName(table, 3), "C");
    EXPECT_EQ(DisplayName(table, 9), "A");
    EXPECT_EQ(table.NameByValue().size(), 3u);
}

TEST(SymbolTable, NamesAreCaseSensitive) {
    SymbolTable table;
    table.Store("acc", 1, "");
    table.Store("ACC", 2, "");
    EXPECT_EQ(*table.ValueByName().find("acc"), 1);
    EXPECT_EQ(*table.ValueByName().find("ACC"), 2);
    EXPECT_EQ(table.ValueByName().find("Acc"), nullptr);
}

} // namespace
