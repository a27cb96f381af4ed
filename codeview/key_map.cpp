#include "key_map.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace {

constexpr std::size_t kHeaderSize = 5;
constexpr std::size_t kRecordSize = 18;

unsigned Byte(std::string_view bytes, std::size_t at) {
    return static_cast<uint8_t>(bytes[at]);
}

[[noreturn]] void Malformed(const std::string& why) {
    throw std::runtime_error("Malformed key map: " + why);
}

} // namespace

std::vector<KeyBinding> ParseKeyMap(std::string_view bytes) {
    if (bytes.size() < kHeaderSize + 1)
        Malformed("too short");
    if (Byte(bytes, 0) != 1)
        Malformed("unknown version " + std::to_string(Byte(bytes, 0)));
    const uint32_t count = Byte(bytes, 1) | Byte(bytes, 2) << 8 | Byte(bytes, 3) << 16 |
                           static_cast<uint32_t>(Byte(bytes, 4)) << 24;
    if (count > (bytes.size() - kHeaderSize - 1) / kRecordSize ||
        bytes.size() != kHeaderSize + count * kRecordSize + 1)
        Malformed(std::to_string(bytes.size()) + " bytes do not hold " + std::to_string(count) +
                  " bindings");
    if (Byte(bytes, bytes.size() - 1) != 0)
        Malformed("no closing zero byte");

    std::vector<KeyBinding> map;
    for (std::size_t r = 0; r < count; ++r) {
        const std::size_t at = kHeaderSize + r * kRecordSize;
        for (std::size_t z : {3u, 4u, 5u})
            if (Byte(bytes, at + z) != 0)
                Malformed("binding " + std::to_string(r) + " has stray bytes");
        for (std::size_t z = 7; z < kRecordSize; ++z)
            if (Byte(bytes, at + z) != 0)
                Malformed("binding " + std::to_string(r) + " has a second keystroke");
        KeyBinding binding;
        binding.command = static_cast<int>(Byte(bytes, at) | Byte(bytes, at + 1) << 8);
        binding.modifiers = static_cast<int>(Byte(bytes, at + 2));
        binding.virtualKey = static_cast<int>(Byte(bytes, at + 6));
        map.push_back(binding);
    }
    return map;
}

const KeyBinding* FindBinding(const std::vector<KeyBinding>& map, int virtualKey, int modifiers) {
    for (const KeyBinding& binding : map)
        if (binding.virtualKey == virtualKey && binding.modifiers == modifiers)
            return &binding;
    return nullptr;
}
