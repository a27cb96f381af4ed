#include "register_names.h"

#include "fx8010_debug.h"
#include "hex_number.h"

#include <algorithm>
#include <charconv>

namespace {

// Where both spaces hold the same registers.
constexpr uint32_t kShared = 0x100;
constexpr uint32_t kOperandEnd = 0x400;
constexpr uint32_t kConstants = 0x40, kConstantsEnd = 0x56;

bool ParseNumber(const std::string& text, uint32_t* value) {
    const bool hex = text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X"));
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, *value, hex ? 16 : 10);
    return ec == std::errc() && end == last && first != last;
}

const NamedRegister* Named(const std::vector<NamedRegister>& names, const std::string& name) {
    auto it = std::find_if(names.begin(), names.end(),
                           [&](const NamedRegister& n) { return n.name == name; });
    return it == names.end() ? nullptr : &*it;
}

const NamedRegister* Naming(const std::vector<NamedRegister>& names, uint32_t address) {
    auto it = std::find_if(names.begin(), names.end(),
                           [&](const NamedRegister& n) { return n.address == address; });
    return it == names.end() ? nullptr : &*it;
}

} // namespace

const std::vector<NamedRegister>& ChipRegisterNames() {
    static const std::vector<NamedRegister> names = {{"DBG", fx8010dbg::kRegister}};
    return names;
}

RegisterNames::RegisterNames(std::vector<NamedRegister> operands,
                             std::vector<NamedRegister> program, std::string unknown)
    : operands_(std::move(operands)), program_(std::move(program)), unknown_(std::move(unknown)) {
    std::erase_if(operands_, [](const NamedRegister& n) { return n.address >= kOperandEnd; });
    std::erase_if(program_, [](const NamedRegister& n) {
        return n.address < kShared || n.address >= kOperandEnd;
    });
}

std::optional<uint32_t> RegisterNames::Find(const std::string& word, RegisterSpace space,
                                            std::string* why) const {
    if (uint32_t number = 0; ParseNumber(word, &number))
        return number;
    // Every register the name means, in whichever space: a chip register
    // below 0x100, an operand below it, or one of both spaces.
    enum Where { kBoth, kChipOnly, kOperandOnly };
    std::vector<std::pair<Where, uint32_t>> meanings;
    if (const NamedRegister* n = Named(ChipRegisterNames(), word))
        meanings.push_back({kChipOnly, n->address});
    if (const NamedRegister* n = Named(program_, word))
        meanings.push_back({kBoth, n->address});
    if (const NamedRegister* n = Named(operands_, word))
        meanings.push_back({n->address < kShared ? kOperandOnly : kBoth, n->address});
    std::sort(meanings.begin(), meanings.end());
    meanings.erase(std::unique(meanings.begin(), meanings.end()), meanings.end());
    if (meanings.empty()) {
        *why = "no register is called " + word + (unknown_.empty() ? "" : "; " + unknown_);
        return std::nullopt;
    }
    if (meanings.size() > 1) {
        *why = word + " names two registers";
        return std::nullopt;
    }
    const auto [where, address] = meanings[0];
    if (where == kChipOnly && space == RegisterSpace::Operands) {
        *why = word + " is a chip register, not a DSP operand";
        return std::nullopt;
    }
    if (where == kOperandOnly && space == RegisterSpace::Chip) {
        const bool constant = address >= kConstants && address < kConstantsEnd;
        *why = word + (constant ? " is a DSP constant" : " is a DSP operand") +
               ", not a chip register";
        return std::nullopt;
    }
    return address;
}

std::string RegisterNames::Label(uint32_t address, RegisterSpace space) const {
    const NamedRegister* n = nullptr;
    if (address < kShared)
        n = Naming(space == RegisterSpace::Chip ? ChipRegisterNames() : operands_, address);
    else if (!(n = Naming(program_, address)))
        n = Naming(operands_, address);
    return n ? n->name + " (" + HexNumber(address) + ")" : HexNumber(address);
}
