// The answer of "controls": the loaded program's control GPRs,
//   N controls; NAME 0xADDR VALUE MIN MAX; ...
// each number hexadecimal, the values as the patch gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ControlInfo {
    std::string name;
    uint32_t address = 0;
    uint32_t value = 0, min = 0, max = 0;
    bool operator==(const ControlInfo&) const = default;
};

std::string ControlsText(const std::vector<ControlInfo>& controls);
// nullopt unless text is such an answer, its count its clauses'.
std::optional<std::vector<ControlInfo>> ParseControls(const std::string& text);
