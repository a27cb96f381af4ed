// The key-map layout and the map that ships with the program.
#include "key_map.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {

std::string ShippedKeyMapBytes() {
    std::ifstream file(std::string(VELMORA_SOURCE_DIR) + "/codeview/resources/cmhotkeys_201.bin",
                       std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

constexpr int kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24, kLeft = 0x25, kUp = 0x26,
              kRight = 0x27, kDown = 0x28;

TEST(KeyMap, ShippedMapBindsExactlyTheListingKeys) {
    const std::string bytes = ShippedKeyMapBytes();
    ASSERT_EQ(bytes.size(), 600u);
    const std::vector<KeyBinding> map = ParseKeyMap(bytes);
    ASSERT_EQ(map.size(), 33u);

    std::set<std::pair<int, int>> expected;
    for (int key : {kPageUp, kPageDown, kEnd, kHome, kLeft, kUp, kRight, kDown})
        for (int modifiers : {0, int(kShiftKey), int(kCtrlKey)})
            expected.insert({key, modifiers});
    expected.insert({'C', kCtrlKey});
    for (int key : {kEnd, kHome, kLeft, kRight, int('X')})
        expected.insert({key, kCtrlKey | kShiftKey});
    for (int key : {kLeft, kRight, 0x77 /* F8 */})
        expected.insert({key, kCtrlKey | kAltKey});

    std::set<std::pair<int, int>> bound;
    std::set<int> commands;
    for (const KeyBinding& binding : map) {
        bound.insert({binding.virtualKey, binding.modifiers});
        commands.insert(binding.command);
        EXPECT_GE(binding.command, 0x66);
        EXPECT_LE(binding.command, 0xCB);
    }
    EXPECT_EQ(bound, expected);
    EXPECT_EQ(commands.size(), 33u) << "one command per key and modifier";

    // The keys that would edit the listing are not bound at all.
    for (int key : {0x2E /* Delete */, 0x08 /* Backspace */, 0x0D /* Enter */})
        for (int modifiers = 0; modifiers < 8; ++modifiers)
            EXPECT_EQ(FindBinding(map, key, modifiers), nullptr) << key << " " << modifiers;
}

TEST(KeyMap, ModifiersMustMatchExactly) {
    const std::vector<KeyBinding> map = ParseKeyMap(ShippedKeyMapBytes());
    ASSERT_NE(FindBinding(map, 'C', kCtrlKey), nullptr);
    EXPECT_EQ(FindBinding(map, 'C', 0), nullptr);
    EXPECT_EQ(FindBinding(map, 'C', kCtrlKey | kShiftKey), nullptr);
    EXPECT_NE(FindBinding(map, kLeft, kCtrlKey | kAltKey)->command,
              FindBinding(map, kLeft, kCtrlKey)->command);
}

TEST(KeyMap, MalformedMapsAreRefused) {
    const std::string good = ShippedKeyMapBytes();
    ASSERT_NO_THROW(ParseKeyMap(good));

    const auto refused = [](std::string bytes) {
        EXPECT_THROW(ParseKeyMap(bytes), std::runtime_error);
    };
    refused("");
    refused(good.substr(0, 599));
    refused(good + '\0');
    std::string version = good;
    version[0] = 2;
    refused(version);
    std::string count = good;
    count[1] = 34;
    refused(count);
    std::string hugeCount = good;
    hugeCount[4] = '\x7F';
    refused(hugeCount);
    std::string closing = good;
    closing.back() = 1;
    refused(closing);
    std::string secondKey = good;
    secondKey[5 + 18 * 3 + 10] = 'A';
    refused(secondKey);

    // An empty map is well formed.
    EXPECT_TRUE(ParseKeyMap(std::string("\x01\0\0\0\0\0", 6)).empty());
}

} // namespace
