// A chip image: the contents of the EMU10K1's 0x800 registers that the
// simulated chip starts from, in a text form and as a raw register dump.
#pragma once

#include "emu10k1_words.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr std::size_t kChipRegisterCount = 0x800;
constexpr std::size_t kChipDumpSize = kChipRegisterCount * 4;
constexpr uint32_t kMicrocodeBase = FX8010_MICROCODE_BASE;
constexpr int kMicrocodeSize = FX8010_INSTRUCTION_COUNT;
// The first line of the text form: the format's name and its version.
constexpr std::string_view kChipImageFormat = "emuaps-chip-image";
constexpr std::string_view kChipImageHeader = "emuaps-chip-image 1";
// A chip image file is at most this long: the dump is 8,192 bytes, and a text
// form that sets every register, with comments, stays far below it.
constexpr uint64_t kMaxChipImageBytes = 1 << 20;

struct ChipImage {
    std::array<uint32_t, kChipRegisterCount> registers{};
    bool operator==(const ChipImage&) const = default;
};

// The instruction a loader writes where no program is: ACC3 C_0, C_0, C_0,
// C_0, which adds zeros into the constant 0 and so changes nothing.
Fx8010Words IdleInstruction();
// A chip as a loader leaves it empty: every instruction idle, all else zero.
ChipImage EmptyChipImage();

// A parse either yields an image or says what is wrong; line is 1-based and
// 0 when the fault is not on one line; path is the file's, when one was read.
struct ChipImageResult {
    std::optional<ChipImage> image;
    std::string path;
    int line = 0;
    std::string error;

    // "path: line N: message", without the parts that are not known.
    std::string describe() const;
};

ChipImageResult ParseChipImageText(std::string_view text);
ChipImageResult ParseChipImageDump(std::string_view bytes);
// Takes either form: text when it starts with the header line, else a dump.
ChipImageResult ParseChipImage(std::string_view bytes);

std::string FormatChipImageText(const ChipImage& image);
std::string DumpChipImage(const ChipImage& image);

// Reads and parses a file; a file that cannot be read, is not a regular file
// or is longer than kMaxChipImageBytes is refused before it is read.
ChipImageResult LoadChipImageFile(const std::string& path);
