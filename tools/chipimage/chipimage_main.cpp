// chipimage: converts a chip image between its text form and a raw register
// dump (0x800 little-endian 32-bit words, as saved from a card).
#include "chip_image.h"
#include "program_version.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

const char* const kHelp = R"(Usage: chipimage --to-dump IN OUT
  or:  chipimage --to-text IN OUT
Convert an EMU10K1 chip image, as the emuapsd service loads it with --image,
between its two forms. IN may be either form.

      --to-dump    write IN to OUT as a register dump: registers 0 to 0x7FF
                   as 8192 bytes of little-endian 32-bit words
      --to-text    write IN to OUT in the text form: reg lines for the
                   registers below 0x400 that are not zero, instr lines for
                   the microcode
      --help       show this help and exit
      --version    show the version and exit

Exit status: 0 when OUT was written, 1 when IN cannot be read or OUT cannot be
written, 2 for a mistake on the command line.
)";

int Usage() {
    std::cerr << "chipimage: expected --to-dump or --to-text, IN and OUT\n"
                 "Try 'chipimage --help'.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << VersionLine("chipimage") << "\n";
        return 0;
    }
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
