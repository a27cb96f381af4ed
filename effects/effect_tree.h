// The chunk tree that the effects window shows for the current effect: the
// RIFX root with rsrc and the lists gpri and patc (and scal inside patc), and
// under each word list one node per value in four hex digits. There is no
// node for ckid or code.
#pragma once

#include "effect_program.h"

#include <string>
#include <vector>

struct EffectTreeNode {
    std::string key; // empty for value nodes
    std::string text;
    std::string parent; // key of the parent; empty for the root
};

// The twelve fixed nodes in order, then the value nodes of rsrc, gprs, tram,
// xtra, "inp ", outp, iscl and wscl in that order, each list in index order.
// Every node is the last child of its parent when it is added.
std::vector<EffectTreeNode> EffectTreeNodes(const EffectTables& effect);

// Key of the root, the only node shown expanded.
inline constexpr const char* kEffectTreeRoot = "RIFX";
