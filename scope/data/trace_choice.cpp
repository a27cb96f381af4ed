#include "trace_choice.h"

#include "register_choice.h"

#include <cctype>

TraceChoice ChooseTrace(const std::string& text, const std::map<std::string, uint32_t>& names,
                        bool namesKnown) {
    if (text.empty())
        return {};
    // Without the names, a name could still read as hex ("fb"): wait for them.
    if (!namesKnown && !text.starts_with("0x") && !text.starts_with("0X"))
        return {};
    if (const auto address = RegisterOf(text, names))
        return {address, {}};
    const bool hex = text.size() > 2 && (text[1] == 'x' || text[1] == 'X') &&
                     text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (hex)
        return {std::nullopt,
                text + " is not a register the DSP sees: they go from 0x000 to 0x3FF"};
    return {std::nullopt, "no register is called " + text};
}

int RefusedRegister(const std::string& refusal, const std::vector<uint32_t>& registers) {
    int found = -1;
    for (std::size_t i = 0; i < registers.size(); ++i) {
        const std::string address = AddressText(registers[i]);
        for (std::size_t at = refusal.find(address); at != std::string::npos;
             at = refusal.find(address, at + 1)) {
            const std::size_t end = at + address.size();
            if (end < refusal.size() && std::isxdigit(static_cast<unsigned char>(refusal[end])))
                continue;
            if (found >= 0 && registers[std::size_t(found)] != registers[i])
                return -1; // two registers named: not one trace's
            found = int(i);
            break;
        }
    }
    return found;
}
