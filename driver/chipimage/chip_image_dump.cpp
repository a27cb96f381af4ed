#include "chip_image.h"

ChipImageResult ParseChipImageDump(std::string_view bytes) {
    ChipImageResult result;
    if (bytes.size() != kChipDumpSize) {
        result.error = "a register dump is exactly " + std::to_string(kChipDumpSize) +
                       " bytes; this one has " + std::to_string(bytes.size());
        return result;
    }
    ChipImage image;
    for (std::size_t i = 0; i < kChipRegisterCount; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * i;
        image.registers[i] =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    result.image = image;
    return result;
}

std::string DumpChipImage(const ChipImage& image) {
    std::string out(kChipDumpSize, '\0');
    for (std::size_t i = 0; i < kChipRegisterCount; ++i) {
        uint32_t v = image.registers[i];
        for (int b = 0; b < 4; ++b)
            out[4 * i + b] = char((v >> (8 * b)) & 0xFF);
    }
    return out;
}
