// chipimage: converts a chip image between its text form and a raw register
// dump (0x800 little-endian 32-bit words, as saved from a card).
#include "chip_image.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

int Usage() {
    std::cerr << "usage: chipimage --to-dump IN OUT   write IN as an 8192-byte register dump\n"
                 "       chipimage --to-text IN OUT   write IN in the text form\n"
                 "IN may be either form.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return Usage();
    std::string mode = argv[1];
    if (mode != "--to-dump" && mode != "--to-text")
        return Usage();
    ChipImageResult loaded = LoadChipImageFile(argv[2]);
    if (!loaded.image) {
        std::cerr << "chipimage: " << loaded.describe() << "\n";
        return 1;
    }
    std::string out =
        mode == "--to-dump" ? DumpChipImage(*loaded.image) : FormatChipImageText(*loaded.image);
    std::ofstream file(argv[3], std::ios::binary | std::ios::trunc);
    file << out;
    file.close();
    if (!file) {
        std::cerr << "chipimage: cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
