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
                             std::vector<NamedRegister> program)
    : operands_(std::move(operands)), program_(std::move(program)) {
    std::erase_if(operands_, [](const NamedRegister& n) { return n.address >= kOperandEnd; });
    std::erase_if(program_, [](const NamedRegister& n) {
        return n.address < kShared || n.address >= kOperandEnd;
    });
}

std::optional<uint32_t> RegisterNames::Find(const std::string& word, RegisterSpace space,
                                            std::string* why) const {
    if (uint32_t number = 0; ParseNumber(word, &number))
        return number;
    const bool chip = space == RegisterSpace::Chip;
    // What the name means in this space, and a meaning it has only in the other.
    std::vector<uint32_t> here;
    std::string elsewhere;
    if (const NamedRegister* n = Named(ChipRegisterNames(), word)) {
        if (chip)
            here.push_back(n->address);
        else
            elsewhere = word + " is a chip register, not a DSP operand";
    }
    if (const NamedRegister* n = Named(program_, word))
        here.push_back(n->address);
    if (const NamedRegister* n = Named(operands_, word)) {
        if (!chip || n->address >= kShared)
            here.push_back(n->address);
        else if (n->address >= kConstants && n->address < kConstantsEnd)
            elsewhere = word + " is a DSP constant, not a chip register";
        else
            elsewhere = word + " is a DSP operand, not a chip register";
    }
    std::sort(here.begin(), here.end());
    here.erase(std::unique(here.begin(), here.end()), here.end());
    if (here.size() == 1)
        return here[0];
    if (here.size() > 1)
        *why = word + " names both " + HexNumber(here[0]) + " and " + HexNumber(here[1]);
    else
        *why = elsewhere.empty() ? "no register is called " + word : elsewhere;
    return std::nullopt;
}

std::string RegisterNames::Label(uint32_t address, RegisterSpace space) const {
    const NamedRegister* n = nullptr;
    if (address < kShared)
        n = Naming(space == RegisterSpace::Chip ? ChipRegisterNames() : operands_, address);
    else if (!(n = Naming(program_, address)))
        n = Naming(operands_, address);
    return n ? n->name + " (" + HexNumber(address) + ")" : HexNumber(address);
}
