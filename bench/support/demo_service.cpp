#include "demo_service.h"

#include "zendra.h"

#include <cstdlib>
#include <iostream>

DemoService::DemoService(bool running) {
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    const std::string images = std::string(VELMORA_PROGRAM_DIR) + "/images/";
    std::vector<std::string> args;
    if (running)
        args = {"--patch", images + "demo-chorus-echo.emu10k1", "--run"};
    try {
        service_ =
            std::make_unique<ServiceProcess>(runtime_.path(), images + "demo.chip", "", args);
        ready_ = ifInitApsIo() == 0;
    } catch (const std::exception& e) {
        std::cerr << "emuapsd: " << e.what() << '\n';
    }
    if (!ready_)
        std::cerr << "the device could not be opened\n";
}
