#include "placed_names.h"

#include "hex_number.h"
#include "patch_placement.h"

#include <algorithm>
#include <cstdio>

namespace {

// What as10k1 prints for a register the program did not name.
constexpr const char* kNoName = "__NO_NAME";

// The symbol file's value: "0x" and lower-case digits.
std::string SymbolValue(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%03x", value);
    return buf;
}

// The patch name inside a comment stays on its line.
std::string CommentText(const std::string& text) {
    std::string out;
    for (char c : text)
        out += static_cast<unsigned char>(c) < ' ' || c == 0x7F ? '?' : c;
    return out;
}

} // namespace

std::vector<PlacedName> PlaceNames(const As10k1Patch& patch, const As10k1Names* dump,
                                   const PatchRelocation& relocation) {
    std::vector<PlacedName> names;
    if (!dump) {
        for (const As10k1Control& c : patch.controls)
            if (!c.name.empty())
                names.push_back({c.name, relocation.gpr[c.gpr], "Control"});
        return names;
    }
    for (const As10k1NamedGpr& g : dump->gprs)
        if (g.name != kNoName)
            names.push_back({g.name, relocation.Relocate(g.address), g.kind});
    for (const As10k1NamedAccess& a : dump->accesses) {
        names.push_back({a.name, relocation.Relocate(a.dataRegister), "TRAM data"});
        names.push_back({a.name + ".a", relocation.Relocate(a.addressRegister), "TRAM address"});
    }
    return names;
}

bool IsPlainIdentifier(const std::string& name) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.empty() || name.size() > 34 || !letter(name[0]))
        return false;
    for (char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '.')
            return false;
    return true;
}

std::vector<PlacedName> PublishableNames(const std::vector<PlacedName>& names,
                                         const TakenNames& taken,
                                         std::vector<std::string>* refusals) {
    std::vector<PlacedName> out;
    std::map<std::string, uint32_t> given;
    for (const PlacedName& n : names) {
        std::string why;
        auto other = taken.find(n.name);
        auto twice = given.find(n.name);
        if (!IsPlainIdentifier(n.name))
            why = "not a plain identifier (a letter, then letters, digits, '_' or '.')";
        else if (other != taken.end() && other->second.address != n.address)
            why = "it is " + other->second.what;
        else if (twice != given.end() && twice->second != n.address)
            why = "it names " + HexNumber(twice->second) + " already";
        if (!why.empty()) {
            refusals->push_back("refused '" + CommentText(n.name) + "' for " +
                                HexNumber(n.address) + ": " + why);
            continue;
        }
        given.emplace(n.name, n.address);
        out.push_back(n);
    }
    return out;
}

std::string SymbolFileText(const std::string& patch, const std::vector<PlacedName>& names) {
    const std::string patchName = CommentText(patch);
    std::string text = "// The names of the program that emuapsd placed on the simulated chip:\n"
                       "// patch '" +
                       patchName +
                       "'. Rewritten at every load; gone when the service stops.\n"
                       "[VIRTUAL]\n";
    for (const PlacedName& n : names)
        text += n.name + " " + SymbolValue(n.address) + " // " + patchName + ": " + n.kind + "\n";
    return text;
}

std::string NamesSummary(const std::vector<PlacedName>& names) {
    std::string text = "names:";
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i ? ", " : " ") + names[i].name + " " + HexNumber(names[i].address);
    return text;
}

std::string NamesMovedText(const std::vector<PlacedName>& before,
                           const std::vector<PlacedName>& after) {
    auto find = [](const std::vector<PlacedName>& names, const std::string& name) {
        return std::find_if(names.begin(), names.end(),
                            [&](const PlacedName& n) { return n.name == name; });
    };
    std::string moved, added, gone;
    auto add = [](std::string& list, const std::string& item) {
        list += (list.empty() ? "" : ", ") + item;
    };
    for (const PlacedName& n : after) {
        const auto old = find(before, n.name);
        if (old == before.end())
            add(added, n.name + " " + HexNumber(n.address));
        else if (old->address != n.address)
            add(moved, n.name + " " + HexNumber(old->address) + " -> " + HexNumber(n.address));
    }
    for (const PlacedName& n : before)
        if (find(after, n.name) == after.end())
            add(gone, n.name + " " + HexNumber(n.address));
    std::string text;
    for (auto [what, list] : {std::pair{"moved ", &moved}, {"new ", &added}, {"gone ", &gone}})
        if (!list->empty())
            text += (text.empty() ? "" : "; ") + std::string(what) + *list;
    return text.empty() ? "every name stays where it was" : text;
}

std::string NoProgramSymbols() {
    return "// emuapsd placed no program with names on its chip.\n";
}
