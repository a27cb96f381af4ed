// libzendra.so must load on a machine with nothing but the C library, and
// show exactly its seven exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kLibrary = std::string(VELMORA_PROGRAM_DIR) + "/libzendra.so";

std::string Output(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    EXPECT_EQ(pclose(p), 0) << command;
    return out;
}

TEST(ZendraLinkage, NeedsOnlyTheCLibrary) {
    std::istringstream lines(Output("readelf -d " + kLibrary));
    std::set<std::string> needed;
    for (std::string line; std::getline(lines, line);) {
        auto open = line.find("Shared library: [");
        if (open != std::string::npos)
            needed.insert(line.substr(open + 17, line.find(']', open) - open - 17));
    }
    ASSERT_TRUE(needed.count("libc.so.6")) << "readelf found no NEEDED entries";
    for (const auto& lib : needed) {
        bool sanitizerRuntime = lib.starts_with("libasan.") || lib.starts_with("libubsan.");
        if (sanitizerRuntime && VELMORA_SANITIZED)
            continue;
        EXPECT_EQ(lib, "libc.so.6") << "libzendra.so needs " << lib;
    }
}

TEST(ZendraLinkage, ExportsExactlyTheSevenOperations) {
    std::istringstream lines(Output("nm -D --defined-only " + kLibrary));
    std::set<std::string> exported;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string address, kind, name;
        if (words >> address >> kind >> name && (kind == "T" || kind == "D" || kind == "B"))
            exported.insert(name);
    }
    std::set<std::string> expected = {
        "ifInitApsIo",       "ifGPRMemoryRead",      "ifGPRMemoryReadAll", "ifGPRMemoryWrite",
        "ifInstrMemoryRead", "ifInstrMemoryReadAll", "ifInstrMemoryWrite"};
    EXPECT_EQ(exported, expected);
}

} // namespace
