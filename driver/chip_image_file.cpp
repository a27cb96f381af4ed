#include "chip_image.h"

#include <fstream>
#include <sstream>

std::string ChipImageResult::describe() const {
    if (line > 0)
        return "line " + std::to_string(line) + ": " + error;
    return error;
}

ChipImageResult ParseChipImage(std::string_view bytes) {
    if (bytes.starts_with(kChipImageFormat))
        return ParseChipImageText(bytes);
    if (bytes.size() == kChipDumpSize)
        return ParseChipImageDump(bytes);
    ChipImageResult result;
    result.error = "not a chip image: neither text starting with \"" +
                   std::string(kChipImageHeader) + "\" nor a register dump of " +
                   std::to_string(kChipDumpSize) + " bytes";
    return result;
}

ChipImageResult LoadChipImageFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    ChipImageResult result;
    if (!in) {
        result.error = "cannot read " + path;
        return result;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        result.error = "cannot read " + path;
        return result;
    }
    return ParseChipImage(content.str());
}
