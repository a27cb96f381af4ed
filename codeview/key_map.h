// The code view's key map: which key combinations do anything in a listing,
// and which view command each one runs. It is stored as a 600-byte resource
// (type "CMHOTKEYS", id 201) in the editor control's own key-map layout:
//   u8 version (1), u32 count (little-endian),
//   count records of 18 bytes:
//     u16 command number, u8 modifiers (1 Shift, 2 Ctrl, 4 Alt), u8 0,
//     u8 0, u8 0, u8 virtual-key code, 11 zero bytes (no second keystroke),
//   u8 0.
// Keys that are not in the map do nothing; the listing is changed only by the
// program.
#pragma once

#include <string_view>
#include <vector>

enum KeyModifier { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

struct KeyBinding {
    int command = 0;
    int modifiers = 0;
    int virtualKey = 0;
};

// Throws std::runtime_error when the bytes are not a key map of that layout.
std::vector<KeyBinding> ParseKeyMap(std::string_view bytes);

// The binding of that key with exactly those modifiers, or nullptr.
const KeyBinding* FindBinding(const std::vector<KeyBinding>& map, int virtualKey, int modifiers);
