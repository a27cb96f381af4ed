#include "effect_tree.h"

#include "hex_pad.h"

std::vector<EffectTreeNode> EffectTreeNodes(const EffectTables& effect) {
    std::vector<EffectTreeNode> nodes = {
        {"RIFX", "FX", ""},       {"rsrc", "rsrc", "RIFX"}, {"gpri", "gpri", "RIFX"},
        {"gprs", "gprs", "gpri"}, {"tram", "tram", "gpri"}, {"xtra", "xtra", "gpri"},
        {"patc", "patc", "RIFX"}, {"inp ", "inp ", "patc"}, {"outp", "outp", "patc"},
        {"scal", "scal", "patc"}, {"iscl", "iscl", "scal"}, {"wscl", "wscl", "scal"},
    };
    const std::pair<const char*, const std::vector<int32_t>*> lists[] = {
        {"rsrc", &effect.rsrc}, {"gprs", &effect.gprs}, {"tram", &effect.tram},
        {"xtra", &effect.xtra}, {"inp ", &effect.inp},  {"outp", &effect.outp},
        {"iscl", &effect.iscl}, {"wscl", &effect.wscl},
    };
    for (const auto& [key, values] : lists)
        for (int32_t value : *values)
            nodes.push_back({"", HexPad(value, 4), key});
    return nodes;
}
