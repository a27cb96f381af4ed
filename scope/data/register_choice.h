// What a trace's register box holds: one of the loaded program's names, or an
// operand address typed in hex ("0x106" or "106"). A name wins: "fb" may
// name a register and also read as hex.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

constexpr uint32_t kOperandCount = 0x400;

std::optional<uint32_t> RegisterOf(const std::string& text,
                                   const std::map<std::string, uint32_t>& names);
// "0x106", as the box and the requests write an address.
std::string AddressText(uint32_t address);
