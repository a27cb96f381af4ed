// emuapsd: the driver service that stands in for the sound card's driver on
// Linux. It serves a simulated EMU10K1 loaded from a chip image; SIGHUP
// reloads the image, SIGTERM and SIGINT end the service.
#include "aps_service.h"
#include "chip_image.h"
#include "simulated_chip.h"
#include "socket_folder.h"
#include "socket_path.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

namespace {

void Say(const std::string& text) {
    std::cerr << "emuapsd: " << text << std::endl;
}

int Usage() {
    std::cerr << "usage: emuapsd [--image FILE]\n"
                 "Serves a simulated EMU10K1 to the Zendra library. FILE is a chip image\n"
                 "(text form or 8192-byte register dump); without it every register is 0.\n"
                 "SIGHUP reloads FILE.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string imagePath;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--image" && i + 1 < argc)
            imagePath = argv[++i];
        else if (arg.starts_with("--image="))
            imagePath = arg.substr(8);
        else
            return Usage();
    }

    // Signals are taken by sigwait on this thread; the others never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    SimulatedChip chip;
    if (!imagePath.empty()) {
        ChipImageResult loaded = LoadChipImageFile(imagePath);
        if (!loaded.image) {
            Say(imagePath + ": " + loaded.describe());
            return 1;
        }
        chip.Load(*loaded.image);
    }

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
    ApsService service(chip, options);
    if (std::string error = service.Listen(); !error.empty()) {
        Say(error);
        return 1;
    }
    Say(std::string("listening at ") + path);
    std::thread serving([&service] { service.Run(); });

    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0)
            continue;
        if (sig != SIGHUP)
            break;
        if (imagePath.empty()) {
            Say("no chip image to reload");
            continue;
        }
        ChipImageResult loaded = LoadChipImageFile(imagePath);
        if (loaded.image) {
            chip.Load(*loaded.image);
            Say("reloaded " + imagePath);
        } else {
            Say("keeping the current chip; " + imagePath + ": " + loaded.describe());
        }
    }
    service.Stop();
    serving.join();
    Say("stopped");
    return 0;
}
