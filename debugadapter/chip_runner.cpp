#include "chip_runner.h"

#include "status_answer.h"

#include <chrono>

namespace {

constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr int kStatusWaitMs = 5000;

} // namespace

ChipRunner::ChipRunner(ServiceLink link, std::function<void(const StopSaid&)> stopped)
    : link_(std::move(link)), stopped_(std::move(stopped)) {}

ChipRunner::~ChipRunner() {
    if (running_)
        Pause();
    Join();
}

void ChipRunner::Join() {
    if (thread_.joinable())
        thread_.join();
}

void ChipRunner::Run(const std::string& request) {
    Join();
    pauseAsked_ = false;
    running_ = true;
    thread_ = std::thread(&ChipRunner::Loop, this, request);
}

void ChipRunner::Pause() {
    pauseAsked_ = true;
    // stop is refused while a verb still lets go of the chip: ask again.
    for (int i = 0; i < 20 && running_; ++i) {
        if (link_.Ask("stop").status == 0)
            break;
        std::this_thread::sleep_for(kPoll);
    }
    Join();
}

void ChipRunner::Loop(std::string request) {
    StopSaid said;
    if (request.empty()) {
        const ControlReply go = link_.Ask("continue");
        if (go.status != 0)
            said = {StopReason::kPause, go.text};
        // A stop by anyone (pause, emuapsctl stop) ends the run.
        while (said.reason == StopReason::kNone) {
            const ControlReply status = link_.AskWithin("status", kStatusWaitMs);
            const auto s = ParseStatus(status.text);
            if (status.trouble != ControlTrouble::kNone || (s && s->state == "stopped"))
                said = {StopReason::kPause,
                        status.trouble != ControlTrouble::kNone ? status.text : "paused"};
            else
                std::this_thread::sleep_for(kPoll);
        }
    }
    while (said.reason == StopReason::kNone) {
        const ControlReply reply = link_.Ask(request);
        said = ParseStopAnswer(reply.status, reply.text);
        if (reply.trouble != ControlTrouble::kNone || reply.status == 2)
            said.reason = StopReason::kPause; // the service is gone or refused the request
        else if (said.reason == StopReason::kNone && pauseAsked_)
            said = {StopReason::kPause, "paused"};
    }
    running_ = false;
    stopped_(said);
}
