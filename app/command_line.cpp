#include "command_line.h"

#include "program_version.h"

namespace {

const char kHelp[] = "Usage: velmora [--help | --version]\n"
                     "Inspect the FX8010 effects DSP of an EMU10K1 sound chip: its microcode,\n"
                     "registers and delay lines, read live through the driver's device (on Linux\n"
                     "the service emuapsd), and the effect programs of the effects library.\n"
                     "\n"
                     "  --help     show this help and end\n"
                     "  --version  show the version and end\n"
                     "\n"
                     "The windows read the chip when they open and again on F5. Help > Readme...\n"
                     "in the program is the user's guide.\n";

} // namespace

std::optional<std::string> TerminalAnswer(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return std::string(kHelp);
        if (arg == "--version")
            return VersionLine("velmora") + "\n";
    }
    return std::nullopt;
}
