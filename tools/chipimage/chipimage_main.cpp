// chipimage: converts a chip image between its text form and a raw register
// dump (0x800 little-endian 32-bit words, as saved from a card), and saves a
// real card's registers as such a dump.
#include "chip_image.h"
#include "proc_chip.h"
#include "program_version.h"
#include "service_options.h"

#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kHelp = R"(Usage: chipimage --to-dump IN OUT
  or:  chipimage --to-text IN OUT
  or:  chipimage --card N [--proc-dir DIR] OUT
Convert an EMU10K1 chip image, as the emuapsd service loads it with --image,
between its two forms, or save a real card's chip as one. IN may be either
form.

      --to-dump    write IN to OUT as a register dump: registers 0 to 0x7FF
                   as 8192 bytes of little-endian 32-bit words
      --to-text    write IN to OUT in the text form: reg lines for the
                   registers below 0x400 that are not zero, instr lines for
                   the microcode
      --card N     write the registers of the EMU10K1 of ALSA card N to OUT
                   as a register dump, read through the sound driver's
                   /proc/asound/cardN/fx8010_* files as emuapsd --card reads
                   them; registers those files do not hold are saved as 0
      --proc-dir DIR  read the card's files from DIR instead
      --help       show this help and exit
      --version    show the version and exit

Exit status: 0 when OUT was written, 1 when IN or the card cannot be read or
OUT cannot be written, 2 for a mistake on the command line.
)";

int Usage() {
    std::cerr << "chipimage: expected --to-dump or --to-text with IN and OUT, or --card N and OUT\n"
                 "Try 'chipimage --help'.\n";
    return 2;
}

int Write(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    file.close();
    if (!file) {
        std::cerr << "chipimage: cannot write " << path << "\n";
        return 1;
    }
    return 0;
}

// chipimage --card N [--proc-dir DIR] OUT
int SaveCard(const std::vector<std::string>& args) {
    int card = -1;
    if ((args.size() != 3 && args.size() != 5) || !ParseCard(args[1], &card) ||
        (args.size() == 5 && args[2] != "--proc-dir"))
        return Usage();
    const std::string folder = args.size() == 5 ? args[3] : ProcCardFolder(card);
    std::string error;
    std::unique_ptr<ProcChip> chip = ProcChip::Open(folder, &error);
    std::optional<ChipImage> image;
    if (chip)
        image = chip->Capture(&error);
    if (!image) {
        std::cerr << "chipimage: card " << card << ": " << error << "\n";
        return 1;
    }
    return Write(args.back(), DumpChipImage(*image));
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << VersionLine("chipimage") << "\n";
        return 0;
    }
    if (!args.empty() && args[0] == "--card")
        return SaveCard(args);
    if (args.size() != 3 || (args[0] != "--to-dump" && args[0] != "--to-text"))
        return Usage();
    ChipImageResult loaded = LoadChipImageFile(args[1]);
    if (!loaded.image) {
        std::cerr << "chipimage: " << loaded.describe() << "\n";
        return 1;
    }
    return Write(args[2], args[0] == "--to-dump" ? DumpChipImage(*loaded.image)
                                                 : FormatChipImageText(*loaded.image));
}
