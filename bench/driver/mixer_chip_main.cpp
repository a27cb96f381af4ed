// mixer_chip: writes the mixer's program (mixer_program.h) as a chip image,
// so that a person can render it on either engine and time it:
//   mixer_chip mixer.chip
//   emuapsd --image mixer.chip --render 20 --output out.wav [--engine=reference]
#include "mixer_program.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: mixer_chip OUT\n";
        return 2;
    }
    const ChipImage chip = MixerProgram();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << FormatChipImageText(chip);
    out.close();
    if (!out) {
        std::cerr << "mixer_chip: cannot write " << argv[1] << "\n";
        return 1;
    }
    static const char* const kNames[] = {"MACS", "MACS1", "MACW",   "MACW1",  "MACINTS", "MACINTW",
                                         "ACC3", "MACMV", "ANDXOR", "TSTNEG", "LIMIT",   "LIMIT1",
                                         "LOG",  "EXP",   "INTERP", "SKIP"};
    std::cout << "wrote " << argv[1] << ":";
    const char* separator = " ";
    for (const auto& [op, count] : OpcodeCounts(chip, kMixerInstructions)) {
        std::cout << separator << count << " " << kNames[op];
        separator = ", ";
    }
    std::cout << "; the other " << kMicrocodeSize - kMixerInstructions << " idle\n";
    return 0;
}
