#include "demo_service.h"

#include "zendra.h"

#include <cstdlib>
#include <iostream>

DemoService::DemoService() {
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
    try {
        service_ = std::make_unique<ServiceProcess>(
            runtime_.path(), std::string(VELMORA_PROGRAM_DIR) + "/images/demo.chip");
        ready_ = ifInitApsIo() == 0;
    } catch (const std::exception& e) {
        std::cerr << "emuapsd: " << e.what() << '\n';
    }
    if (!ready_)
        std::cerr << "the device could not be opened\n";
}
