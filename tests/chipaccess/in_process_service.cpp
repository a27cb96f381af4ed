#include "in_process_service.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

InProcessService::InProcessService(int helloTimeoutMs) : socketPath_(dir_.path() + "/emuaps.vxd") {
    setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
    ApsServiceOptions options;
    options.socketPath = socketPath_;
    options.helloTimeoutMs = helloTimeoutMs;
    options.log = [this](const std::string& line) {
        std::lock_guard lock(mutex_);
        log_.push_back(line);
    };
    service_ = std::make_unique<ApsService>(chip_, options);
    if (std::string error = service_->Listen(); !error.empty())
        throw std::runtime_error(error);
    thread_ = std::thread([this] { service_->Run(); });
}

InProcessService::~InProcessService() {
    stop();
}

void InProcessService::stop() {
    if (!service_)
        return;
    service_->Stop();
    thread_.join();
    service_.reset();
}

std::vector<std::string> InProcessService::log() {
    std::lock_guard lock(mutex_);
    return log_;
}

bool InProcessService::waitForLog(const std::string& text, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (const auto& line : log())
            if (line.find(text) != std::string::npos)
                return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
