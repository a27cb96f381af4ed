// velmora-scope's cost against the running demo service: four traces at a
// 20 ms time base, 30 answers a second, for 10 s. Prints the scope's processor
// time (this process: the window and its link thread), what it adds to
// emuapsd's against 10 s of emuapsd alone in the same run, and the delay from
// a sample's computation to its column on the screen.
#include "control_client.h"
#include "scope_window.h"
#include "trace_plot.h"

#include "support/service_process.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kSeconds = 10;

double ProcessSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i)
        fields >> skip;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / double(sysconf(_SC_CLK_TCK));
}

double OwnSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The chip's sample count from status ("running; N samples; ...").
uint64_t ChipSamples() {
    const ControlReply r = AskService("status");
    const std::size_t at = r.text.find("; ");
    return r.status == 0 && at != std::string::npos ? std::stoull(r.text.substr(at + 2)) : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const std::string images = std::string(VELMORA_PROGRAM_DIR) + "/images/";
    ServiceProcess service(runtime.path(), images + "demo.chip", "",
                           {"--patch", images + "demo-chorus-echo.emu10k1", "--names",
                            images + "demo-chorus-echo.dbg", "--run"});

    const auto wall = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    double t0 = wall(), s0 = ProcessSeconds(service.pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
    const double alone = (ProcessSeconds(service.pid()) - s0) / (wall() - t0);

    ScopeWindow window;
    for (int i = 0; i < 4; ++i)
        window.setTrace(i, QString::fromLatin1(std::vector<const char*>{"mono", "wet", "lw",
                                                                        "sweep"}[std::size_t(i)]));
    window.setTimeBaseMs(20);
    window.findChild<QComboBox*>("cmbTriggerTrace")
        ->setCurrentIndex(0); // free run: the newest on screen
    window.show();
    // Settled: the first screens drawn.
    QElapsedTimer settle;
    settle.start();
    while (window.plot().shown().columns.size() < 4 && settle.elapsed() < 10000)
        app.processEvents(QEventLoop::AllEvents, 50);

    std::vector<double> delays;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const uint64_t drawn = window.plot().shown().to;
        const uint64_t at = ChipSamples();
        if (drawn && at >= drawn)
            delays.push_back(double(at - drawn) / 48000);
    });
    probe.start(200);
    const int answers = window.answersTaken();
    t0 = wall();
    s0 = ProcessSeconds(service.pid());
    const double own0 = OwnSeconds();
    QTimer::singleShot(int(kSeconds * 1000), &app, &QApplication::quit);
    app.exec();
    const double span = wall() - t0;
    const double withScope = (ProcessSeconds(service.pid()) - s0) / span;
    const double scope = (OwnSeconds() - own0) / span;
    std::sort(delays.begin(), delays.end());

    std::printf("emuapsd alone:            %5.1f %% of one core\n", 100 * alone);
    std::printf("emuapsd with the scope:   %5.1f %% (adds %.1f points)\n", 100 * withScope,
                100 * (withScope - alone));
    std::printf(
        "velmora-scope:            %5.1f %% of one core (4 traces, 20 ms, %.1f answers/s)\n",
        100 * scope, (window.answersTaken() - answers) / span);
    if (!delays.empty())
        std::printf("sample to screen delay:   median %.1f ms, worst %.1f ms (%zu probes)\n",
                    1000 * delays[delays.size() / 2], 1000 * delays.back(), delays.size());
    return 0;
}
