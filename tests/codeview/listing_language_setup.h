// Loads the shipped symbol file and registers the listing language and key
// map, once per test process, as start-up does.
#pragma once

#include "listing_language.h"
#include "symbol_file.h"

#include <gtest/gtest.h>

inline void RegisterShippedListingLanguageOnce() {
    static const bool registered = [] {
        LoadSymbolFile();
        RegisterListingLanguage();
        return true;
    }();
    ASSERT_TRUE(registered);
    ASSERT_NE(RegisteredListingLanguage(), nullptr);
    ASSERT_NE(InstalledKeyMap(), nullptr);
}
