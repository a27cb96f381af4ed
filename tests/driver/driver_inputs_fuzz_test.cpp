// Bounded random-mutation runs over the service's readers of the files it is
// given: chip images (text and dump) and as10k1 patches, with bytes flipped,
// pieces cut out or repeated and files cut short. Each variant gets a clear
// outcome (the sanitizers catch any read out of bounds); the same checks run
// under libFuzzer when the compiler is clang.
#include "as10k1_listing.h"
#include "as10k1_writer.h"
#include "chip_image.h"
#include "driver_input_checks.h"
#include "listing_lines.h"
#include "source_map_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace {

const std::string kSource = VELMORA_SOURCE_DIR;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string Mutate(std::string bytes, std::mt19937& random) {
    auto below = [&](std::size_t n) { return n == 0 ? 0 : random() % n; };
    const int steps = 1 + int(below(4));
    for (int step = 0; step < steps && !bytes.empty(); ++step) {
        std::size_t at = below(bytes.size());
        switch (below(5)) {
        case 0:
            bytes[at] ^= char(1 + below(255));
            break;
        case 1:
            bytes.resize(below(bytes.size() + 1));
            break;
        case 2:
            bytes.erase(at, 1 + below(16));
            break;
        case 3:
            bytes.insert(at, bytes.substr(at, 1 + below(24)));
            break;
        default:
            bytes.insert(at, 1, "0123456789x \n#"[below(14)]);
            break;
        }
    }
    return bytes;
}

template <typename Check>
void RunMutations(const std::vector<std::string>& seeds, Check check, int rounds) {
    for (const std::string& seed : seeds)
        ASSERT_EQ(check(seed), "") << "a seed";
    std::mt19937 random(20261208);
    for (int round = 0; round < rounds; ++round) {
        std::string variant = Mutate(seeds[round % seeds.size()], random);
        ASSERT_EQ(check(variant), "") << "round " << round;
    }
}

TEST(DriverInputsFuzz, MutatedChipImagesGetAClearOutcome) {
    const std::string demo = Bytes(kSource + "/driver/images/demo.chip");
    ChipImageResult parsed = ParseChipImage(demo);
    ASSERT_TRUE(parsed.image) << parsed.describe();
    RunMutations({demo, FormatChipImageText(*parsed.image), DumpChipImage(*parsed.image)},
                 CheckChipImageParser, 3000);
}

TEST(DriverInputsFuzz, MutatedPatchesGetAClearOutcomeAndLandInsideThePools) {
    As10k1Patch tables;
    tables.name = "tables";
    tables.tables = {{64, {{0, 3}}, {{1, 0}}}};
    tables.delays = {{9000, {{2, 8999}}, {{3, 0}}}};
    tables.code = {As10k1Instr(6, 0x201, 0x200, 0x40, 0x40)};
    RunMutations({Bytes(kSource + "/driver/images/demo-chorus-echo.emu10k1"),
                  Bytes(kSource + "/tests/driver/data/probe.emu10k1"), WriteAs10k1Patch(tables)},
                 CheckPatchReader, 3000);
}

// as10k1's listing and the source map: lines or an error, never both; the
// instructions listed 0, 1, 2 ...; a map that reads back reads back the same.
std::string CheckListing(const std::string& text) {
    const As10k1Listing listing = ParseAs10k1Listing(text);
    if (!listing.error.empty())
        return listing.lines.empty() ? "" : "lines and an error";
    uint32_t next = 0;
    for (const As10k1ListedLine& l : listing.lines)
        if (l.instruction && *l.instruction != next++)
            return "instructions out of order";
    return "";
}

std::string CheckSourceMap(const std::string& text) {
    const SourceMapRead read = ParseSourceMap(text);
    if (read.map.has_value() == !read.error.empty())
        return "a map and an error, or neither";
    if (!read.map)
        return "";
    const SourceMapRead again = ParseSourceMap(SourceMapText(*read.map));
    return again.map && *again.map == *read.map ? "" : "the map does not read back";
}

TEST(DriverInputsFuzz, MutatedListingsAndSourceMapsGetAClearOutcome) {
    TempDir dir;
    const std::string command = "cd '" + dir.path() + "' && as10k1 -l echo.lst " + kSource +
                                "/driver/images/demo-chorus-echo.asm > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string listing = Bytes(dir.path() + "/echo.lst");
    RunMutations({listing}, CheckListing, 3000);
    SourceMap map;
    map.files = {{"demo.asm", TextLines(Bytes(kSource + "/driver/images/demo-chorus-echo.asm"))}};
    map.places = {{0x10, 0, 37}, {0x11, 0, 38}, {0x12, 0, 40}};
    RunMutations({SourceMapText(map)}, CheckSourceMap, 3000);
}

// A text image cut anywhere but right after a line end is refused; cut after
// one, it is a shorter image of whole lines.
TEST(DriverInputsFuzz, ATextImageCutShortIsRefusedUnlessCutAtALineEnd) {
    const std::string demo = Bytes(kSource + "/driver/images/demo.chip");
    int accepted = 0;
    for (std::size_t length = 0; length < demo.size(); ++length) {
        ChipImageResult r = ParseChipImage(demo.substr(0, length));
        if (r.image) {
            ++accepted;
            EXPECT_EQ(demo[length - 1], '\n') << "cut at " << length;
        }
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
