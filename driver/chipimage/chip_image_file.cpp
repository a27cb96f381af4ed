#include "chip_image.h"

#include "checked_file.h"

std::string ChipImageResult::describe() const {
    std::string text = path.empty() ? "" : path + ": ";
    if (line > 0)
        text += "line " + std::to_string(line) + ": ";
    return text + error;
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
    ChipImageResult result;
    std::optional<std::string> bytes = ReadCheckedFile(path, kMaxChipImageBytes, &result.error);
    if (bytes)
        result = ParseChipImage(*bytes);
    result.path = path;
    return result;
}
