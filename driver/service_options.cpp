#include "service_options.h"

bool ParseCard(const std::string& text, int* card) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    *card = std::stoi(text);
    return *card < 256;
}

ParsedOptions ParseServiceOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    ServiceOptions& o = parsed.options;
    auto mistake = [&](const std::string& what) {
        parsed.action = ParsedOptions::Action::Mistake;
        parsed.mistake = what;
        return parsed;
    };
    // "--name value" or "--name=value"; value is set when arg is the option.
    auto valued = [&](std::size_t& i, const std::string& name, std::string* value) {
        const std::string& arg = args[i];
        if (arg == name && i + 1 < args.size()) {
            *value = args[++i];
            return true;
        }
        if (arg.starts_with(name + "=")) {
            *value = arg.substr(name.size() + 1);
            return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--help" || arg == "-h") {
            parsed.action = ParsedOptions::Action::Help;
            return parsed;
        } else if (arg == "--version") {
            parsed.action = ParsedOptions::Action::Version;
            return parsed;
        } else if (valued(i, "--image", &o.imagePath) || valued(i, "--patch", &o.patchPath) ||
                   valued(i, "--proc-dir", &o.procFolder)) {
            continue;
        } else if (arg == "--run") {
            o.run = true;
        } else if (valued(i, "--card", &value)) {
            if (!ParseCard(value, &o.card))
                return mistake("--card takes a card number from 0 to 255");
        } else {
            return mistake("unknown or incomplete option " + arg);
        }
    }
    if (o.card >= 0 && (!o.imagePath.empty() || !o.patchPath.empty() || o.run))
        return mistake("--card serves a real card; --image, --patch and --run are for the "
                       "simulated chip");
    if (!o.procFolder.empty() && o.card < 0)
        return mistake("--proc-dir goes with --card");
    return parsed;
}

std::string ServiceHelp() {
    return R"(Usage: emuapsd [OPTION]...
Stand in for the EMU10K1 sound card's driver on Linux: serve a simulated
EMU10K1, or a real card, to programs that use the Zendra library (Velmora).

The service listens on $XDG_RUNTIME_DIR/emuaps.vxd (or
/tmp/emuaps-UID/emuaps.vxd) and lets one program of the same user hold the
device at a time. Opening the device hands that program the chip, so its
reads and writes run in its own thread.

The simulated chip:
      --image=FILE     start from the chip image FILE: the text form, or a
                       register dump of exactly 8192 bytes (at most 1 MiB);
                       without it every register is 0
      --patch=PATCH    place the as10k1 patch PATCH (.emu10k1, at most 2 MiB)
                       beside the image's program, in free registers, TRAM
                       and code
      --run            execute the microcode 48,000 times a second, with a
                       test signal on the effects bus

A real card:
      --card=N         serve the EMU10K1 of ALSA card N instead, read-only,
                       through /proc/asound/cardN/fx8010_*; a later chip is
                       refused

      --help           show this help and exit
      --version        show the version and exit

Signals: SIGHUP reloads FILE and PATCH (a file that does not load leaves the
chip as it was); SIGINT and SIGTERM end the service at any time.

Exit status: 0 after SIGINT or SIGTERM, 1 when the chip or the socket cannot
be set up, 2 for a mistake on the command line.
)";
}
