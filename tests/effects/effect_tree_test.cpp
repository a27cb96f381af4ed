// The chunk tree of an effect: the fixed nodes and their parents, the value
// nodes in four hex digits under their lists, and no node for ckid or code.
#include "effect_tree.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Children(const std::vector<EffectTreeNode>& nodes,
                                  const std::string& key) {
    std::vector<std::string> texts;
    for (const EffectTreeNode& node : nodes)
        if (node.parent == key)
            texts.push_back(node.text);
    return texts;
}

TEST(EffectTree, AnEmptyEffectHasTheTwelveFixedNodesOnly) {
    std::vector<EffectTreeNode> nodes = EffectTreeNodes(EffectTables{});
    ASSERT_EQ(nodes.size(), 12u);
    std::vector<std::string> keys;
    for (const EffectTreeNode& node : nodes)
        keys.push_back(node.key + "<" + node.parent);
    EXPECT_EQ(keys, (std::vector<std::string>{"RIFX<", "rsrc<RIFX", "gpri<RIFX", "gprs<gpri",
                                              "tram<gpri", "xtra<gpri", "patc<RIFX", "inp <patc",
                                              "outp<patc", "scal<patc", "iscl<scal", "wscl<scal"}));
    EXPECT_EQ(nodes[0].text, "FX");
    EXPECT_EQ(nodes[7].text, "inp ");
}

TEST(EffectTree, ValuesHangUnderTheirListsInFourHexDigits) {
    EffectTables effect;
    effect.rsrc = {0, 26, 65535};
    effect.inp = {0x1234};
    effect.wscl = {0x10000 - 1, 5};
    effect.code = {{6, 0x40, 0x40, 0x40, 0x40}};
    std::vector<EffectTreeNode> nodes = EffectTreeNodes(effect);
    ASSERT_EQ(nodes.size(), 12u + 6u);
    EXPECT_EQ(Children(nodes, "rsrc"), (std::vector<std::string>{"0000", "001A", "FFFF"}));
    EXPECT_EQ(Children(nodes, "inp "), std::vector<std::string>{"1234"});
    EXPECT_EQ(Children(nodes, "wscl"), (std::vector<std::string>{"FFFF", "0005"}));
    EXPECT_TRUE(Children(nodes, "gprs").empty());
    // Values come after the fixed nodes, list by list, and carry no key.
    EXPECT_EQ(nodes[12].parent, "rsrc");
    EXPECT_EQ(nodes[15].parent, "inp ");
    EXPECT_EQ(nodes[17].parent, "wscl");
    for (std::size_t i = 12; i < nodes.size(); ++i)
        EXPECT_TRUE(nodes[i].key.empty());
}

} // namespace
