#include "driver_input_checks.h"

#include "chip_image.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool Printable(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

std::string CheckChipImageParser(const std::string& bytes) {
    ChipImageResult r = ParseChipImage(bytes);
    if (r.image.has_value() == !r.error.empty())
        return "an image and an error, or neither";
    if (!r.image)
        return Printable(r.describe()) ? "" : "an error message with control bytes";
    if (!bytes.starts_with(kChipImageFormat))
        return bytes.size() == kChipDumpSize ? "" : "a dump of the wrong size was accepted";
    if (bytes.back() != '\n')
        return "a text cut short inside its last line was accepted";
    ChipImageResult again = ParseChipImageText(FormatChipImageText(*r.image));
    if (!again.image || *again.image != *r.image)
        return "the image does not read back from its own text";
    return "";
}

#ifdef VELMORA_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!CheckChipImageParser(std::string(reinterpret_cast<const char*>(data), size)).empty())
        std::abort();
    return 0;
}
#endif
