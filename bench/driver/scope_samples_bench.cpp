// What the scope asks of the service 30 times a second: one samples request
// of 4 registers x 1600 samples (a little over a 20 ms screen at 48 kHz)
// through the control socket and the client, payload and all, against the
// demo chip with its patch and 10 s of history. The real time of one, client
// included, times 30 bounds the service's share of a core at 30 a second.
// Beside it the largest answer, 131072 samples, read a piece at a time.
#include "control_client.h"
#include "control_server.h"
#include "demo_chip.h"
#include "hex_number.h"
#include "history_recorder.h"
#include "samples_answer.h"
#include "simulated_chip.h"
#include "support/temp_dir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <thread>

namespace {

constexpr int64_t kRate = 48000;

void BM_SamplesOfFourRegistersThroughTheSocket(benchmark::State& state) {
    TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    SimulatedChip chip;
    HistoryRecorder history(10 * kRate);
    chip.Observe(&history);
    chip.Load(DemoChipWithPatch());
    chip.Run(int(3 * kRate));
    const std::vector<uint32_t> kept = history.Kept();
    if (kept.size() < 4) {
        state.SkipWithError("the demo keeps fewer than 4 registers");
        return;
    }
    ControlContext context;
    context.chip = &chip;
    context.history = &history;
    auto server = StartControlServer(
        [&context](const std::string& line, const VerbCancel& cancel) {
            return RunControlVerb(context, line, cancel);
        },
        -1, [](const std::string&) {});
    std::thread serving([&server] { server->Run(); });
    const int64_t samples = state.range(0);
    std::string request = "samples ";
    request += std::to_string(3 * kRate - samples);
    for (std::size_t i = kept.size() - 4; i < kept.size(); ++i)
        request.append(" ").append(HexNumber(kept[i], 3));
    for (auto _ : state) {
        const ControlReply reply = AskService(request);
        const std::optional<SamplesHeader> h = ParseSamplesHeader(reply.text);
        if (!h || h->count != samples || reply.payload.size() != h->bytes) {
            state.SkipWithError(("not the samples asked for: " + reply.text).c_str());
            break;
        }
    }
    server->Stop();
    serving.join();
}
BENCHMARK(BM_SamplesOfFourRegistersThroughTheSocket)
    ->ArgName("samples")
    ->Arg(1600)
    ->Arg(kMaxSamplesAnswer)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
