// emuapsd: the driver service that stands in for the sound card's driver on
// Linux. It serves a simulated EMU10K1 loaded from a chip image (SIGHUP
// reloads the image) or, with --card, a real card read through the sound
// driver's register files. SIGTERM and SIGINT end the service.
#include "aps_service.h"
#include "chip_image.h"
#include "chip_load.h"
#include "dsp_runner.h"
#include "patch_placement.h"
#include "proc_chip.h"
#include "simulated_chip.h"
#include "socket_folder.h"
#include "socket_path.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace {

const int kLoadDone = SIGUSR1;

void Say(const std::string& text) {
    std::cerr << "emuapsd: " << text << std::endl;
}

int Usage() {
    std::cerr << "usage: emuapsd [--image FILE] [--patch PATCH] [--run] | --card N\n"
                 "Serves a simulated EMU10K1 to the Zendra library. FILE is a chip image\n"
                 "(text form or 8192-byte register dump); without it every register is 0.\n"
                 "PATCH, an as10k1 patch (.emu10k1), is placed beside FILE's program.\n"
                 "--run executes the microcode 48,000 times a second.\n"
                 "SIGHUP reloads FILE and PATCH.\n"
                 "--card N serves the real EMU10K1 of ALSA card N instead, read-only,\n"
                 "through /proc/asound/cardN/fx8010_*.\n";
    return 2;
}

// A card number as ALSA counts them.
bool ParseCard(const std::string& text, int* card) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    *card = std::stoi(text);
    return *card < 256;
}

int Serve(int argc, char** argv);

} // namespace

int main(int argc, char** argv) {
    try {
        return Serve(argc, argv);
    } catch (const std::exception& e) {
        Say(e.what());
        return 1;
    }
}

namespace {

int Serve(int argc, char** argv) {
    std::string imagePath, patchPath;
    bool run = false;
    int card = -1;
    std::string procFolder; // where card's register files are; tests point it elsewhere
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--image" && i + 1 < argc)
            imagePath = argv[++i];
        else if (arg.starts_with("--image="))
            imagePath = arg.substr(8);
        else if (arg == "--patch" && i + 1 < argc)
            patchPath = argv[++i];
        else if (arg == "--run")
            run = true;
        else if (arg == "--card" && i + 1 < argc && ParseCard(argv[i + 1], &card))
            ++i;
        else if (arg.starts_with("--card=") && ParseCard(arg.substr(7), &card))
            continue;
        else if (arg == "--proc-dir" && i + 1 < argc)
            procFolder = argv[++i];
        else
            return Usage();
    }
    if (card >= 0 && (!imagePath.empty() || !patchPath.empty() || run))
        return Usage();
    if (!procFolder.empty() && card < 0)
        return Usage();

    // Signals are taken by sigwait on this thread; the others never see them.
    // SIGUSR1 says that a load running on its own thread is done.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, kLoadDone);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    SimulatedChip chip;
    auto startLoad = [&] {
        return std::make_unique<ChipLoad>(
            [imagePath, patchPath](std::string* summary) {
                return LoadChipWithPatch(imagePath, patchPath, summary);
            },
            kLoadDone);
    };
    if (!imagePath.empty() || !patchPath.empty()) {
        std::unique_ptr<ChipLoad> load = startLoad();
        if (AwaitLoad(*load, signals) == LoadWait::Stop) {
            Say("stopped while loading the chip");
            std::_Exit(1); // the load is abandoned where it stands
        }
        if (!load->result().image) {
            Say(load->result().describe());
            return 1;
        }
        chip.Load(*load->result().image);
        if (!load->summary().empty())
            Say(load->summary());
    }
    std::optional<DspRunner> dsp;
    if (run)
        dsp.emplace(chip);
    std::unique_ptr<ProcChip> realCard;
    if (card >= 0) {
        std::string error;
        realCard = ProcChip::Open(procFolder.empty() ? ProcCardFolder(card) : procFolder, &error);
        if (!realCard) {
            Say("card " + std::to_string(card) + ": " + error +
                " (is it an EMU10K1 with its ALSA driver, snd-emu10k1, loaded?)");
            return 1;
        }
    }
    ChipBackend& served = realCard ? static_cast<ChipBackend&>(*realCard) : chip;

    char path[ZENDRA_SOCKET_PATH_MAX];
    int privateFolder = 0;
    if (ZendraSocketPath(path, sizeof path, &privateFolder) != 0) {
        Say("the socket path is too long");
        return 1;
    }
    if (std::string error = PrepareSocketFolder(path, privateFolder != 0); !error.empty()) {
        Say(error);
        return 1;
    }

    ApsServiceOptions options;
    options.socketPath = path;
    options.log = Say;
    auto service = std::make_unique<ApsService>(served, options);
    if (std::string error = service->Listen(); !error.empty()) {
        Say(error);
        return 1;
    }
    Say(std::string("listening at ") + path);
    std::thread serving([&service] { service->Run(); });

    // A reload runs on its own thread too; a SIGHUP during one asks for
    // another after it, so the chip ends up as the files are then.
    std::unique_ptr<ChipLoad> reload;
    bool reloadAgain = false;
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0)
            continue;
        if (sig == SIGTERM || sig == SIGINT)
            break;
        if (sig == kLoadDone && reload && reload->finished()) {
            const ChipImageResult& loaded = reload->result();
            if (loaded.image) {
                chip.Load(*loaded.image);
                Say("reloaded " + (imagePath.empty() ? patchPath : imagePath));
            } else {
                Say("keeping the current chip; " + loaded.describe());
            }
            reload.reset();
            if (!reloadAgain)
                continue;
            reloadAgain = false;
            sig = SIGHUP;
        }
        if (sig != SIGHUP)
            continue;
        if (realCard) {
            Say("the card is read live; nothing to reload");
        } else if (imagePath.empty() && patchPath.empty()) {
            Say("no chip image to reload");
        } else if (reload) {
            reloadAgain = true;
        } else {
            reload = startLoad();
        }
    }
    service->Stop();
    serving.join();
    service.reset(); // removes the socket
    dsp.reset();
    Say("stopped");
    if (reload && !reload->finished()) {
        // The service is down and its socket gone; the load is abandoned.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

} // namespace
