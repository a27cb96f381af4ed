#include "instruction_label.h"

#include "chip_image.h"
#include "hex_number.h"
#include "verb_words.h"

#include <algorithm>

namespace {

bool Decimal(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::string BreakUsage(const SourceMap& source) {
    return source.empty() ? "break takes instruction addresses from 0 to 0x1FF, or --saturation"
                          : "break takes instruction addresses from 0 to 0x1FF, lines of the "
                            "program's source (LINE or FILE:LINE), or --saturation";
}

namespace {

BreakTarget Fault(int status, const std::string& why) {
    return {std::nullopt, status, why};
}

BreakTarget LineTarget(const SourceMap& source, uint32_t file, const std::string& line) {
    uint32_t number = 0;
    if (!Decimal(line) || !ParseNumber(line, &number) || number == 0)
        return Fault(2, "'" + line + "' is not a line number; " + BreakUsage(source));
    if (const std::optional<uint32_t> at = source.FirstAddress(file, number))
        return {at, 0, ""};
    std::string nearest;
    for (uint32_t l : source.NearestLines(file, number))
        nearest += (nearest.empty() ? "" : " and ") + source.Where(file, l);
    return Fault(1, source.Where(file, number) + " made no instruction" +
                        (nearest.empty() ? "" : "; the nearest lines that did are " + nearest));
}

} // namespace

std::string InstructionLabel(uint32_t address, const SourceMap& source) {
    std::string label = HexNumber(address, 3);
    if (const SourcePlace* place = source.At(address))
        label.append(" ").append(source.Label(*place));
    return label;
}

BreakTarget FindBreakTarget(const std::string& word, const SourceMap& source) {
    if (const std::size_t colon = word.rfind(':'); colon != std::string::npos) {
        if (source.empty())
            return Fault(1, "break " + word +
                                " names a source line; the loaded program came without its "
                                "source (emuapsd --patch X.asm brings it)");
        const std::string name = word.substr(0, colon);
        const std::optional<uint32_t> file = source.FileNamed(name);
        if (!file) {
            std::string files;
            for (const SourceFile& f : source.files)
                files += (files.empty() ? "" : ", ") + f.name;
            return Fault(1, "the loaded program's source has no file " + name + " (it has " +
                                files + ")");
        }
        return LineTarget(source, *file, word.substr(colon + 1));
    }
    if (!source.empty() && Decimal(word))
        return LineTarget(source, 0, word);
    uint32_t address = 0;
    if (!ParseNumber(word, &address) || address >= uint32_t(kMicrocodeSize))
        return Fault(2, BreakUsage(source));
    return {address, 0, ""};
}
