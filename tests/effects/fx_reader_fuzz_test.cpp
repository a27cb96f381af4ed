// A bounded random-mutation run over the reader: well-formed libraries with
// bytes flipped, size fields rewritten, pieces cut out or repeated and the
// file cut short. Each variant must get a clear outcome (the sanitizers
// catch any read out of bounds).
#include "fx_library_builder.h"
#include "fx_library_files.h"
#include "fx_reader_fuzz_target.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::string> Seeds() {
    return {
        BuildEffectsLibrary("filler 40\n" + FullEffect("Full") + "filler 40\n" + TinyEffect("T")),
        BuildEffectsLibrary(TinyEffect("A") + TinyEffect("B") + "rifx WAVE\nend\n"),
        BuildEffectsLibrary(R"(rifx
  ckid "a" "b" "Nested"
  list patc
    inp 1
    list scal
      list scal
        iscl 2
      end
    end
    outp 3
  end
  list gpri size=3
  end
  code
    1 2 3 4 5
    bytes EE
  end
end
)"),
    };
}

// Offsets of the 4-byte size fields that follow known chunk ids.
std::vector<std::size_t> SizeFields(const std::string& bytes) {
    std::vector<std::size_t> fields;
    for (const char* id : {"RIFX", "LIST", "ckid", "rsrc", "gprs", "tram", "xtra", "inp ", "outp",
                           "iscl", "wscl", "code"})
        for (std::size_t at = bytes.find(id); at != std::string::npos; at = bytes.find(id, at + 1))
            if (at + 8 <= bytes.size())
                fields.push_back(at + 4);
    return fields;
}

std::string Mutate(std::string bytes, std::mt19937& random) {
    auto below = [&](std::size_t n) { return n == 0 ? 0 : random() % n; };
    const int steps = 1 + static_cast<int>(below(4));
    for (int step = 0; step < steps && !bytes.empty(); ++step) {
        switch (below(6)) {
        case 0: // flip a byte
            bytes[below(bytes.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1: { // rewrite a size field: near its value, tiny, odd or huge
            std::vector<std::size_t> fields = SizeFields(bytes);
            if (fields.empty())
                break;
            std::size_t at = fields[below(fields.size())];
            const uint32_t choices[] = {
                0u,          1u,          3u,
                4u,          5u,          0x7FFFFFFFu,
                0x80000000u, 0xFFFFFFFFu, static_cast<uint32_t>(below(bytes.size() + 16))};
            uint32_t value = choices[below(std::size(choices))];
            for (int k = 0; k < 4; ++k)
                bytes[at + k] = static_cast<char>(value >> (24 - 8 * k));
            break;
        }
        case 2: // cut the file short
            bytes.resize(below(bytes.size() + 1));
            break;
        case 3: { // remove a piece
            std::size_t at = below(bytes.size());
            bytes.erase(at, 1 + below(16));
            break;
        }
        case 4: { // repeat a piece
            std::size_t at = below(bytes.size());
            bytes.insert(at, bytes.substr(at, 1 + below(24)));
            break;
        }
        default: // a stray signature
            bytes.insert(below(bytes.size()), below(2) ? "RIFX" : "LIST");
            break;
        }
    }
    return bytes;
}

TEST(ReaderFuzz, SeedsAreReadCleanly) {
    for (const std::string& seed : Seeds())
        EXPECT_EQ(CheckReaderOnBytes(seed), "");
}

TEST(ReaderFuzz, MutatedLibrariesGetAClearOutcome) {
    std::mt19937 random(20240611);
    const std::vector<std::string> seeds = Seeds();
    for (int round = 0; round < 4000; ++round) {
        std::string variant = Mutate(seeds[round % seeds.size()], random);
        std::string why = CheckReaderOnBytes(variant);
        ASSERT_EQ(why, "") << "round " << round;
    }
}

} // namespace
