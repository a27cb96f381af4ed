// velmora-scope: a live oscilloscope, spectrum and control panel for the
// chip that emuapsd runs.
#include "program_fonts.h"
#include "program_version.h"
#include "scope_window.h"
#include "trace_plot.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include <cstdio>

namespace {

// --grab: once a frame is drawn (or after the wait), save the window and quit.
void GrabWhenDrawn(ScopeWindow& window, const QString& path, double waitSeconds) {
    auto* timer = new QTimer(&window);
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    QObject::connect(timer, &QTimer::timeout, &window, [&window, path, waitSeconds, start] {
        if (QDateTime::currentMSecsSinceEpoch() - start < qint64(waitSeconds * 1000))
            return;
        const bool ok = window.grab().save(path);
        std::fprintf(stderr, ok ? "velmora-scope: wrote %s\n" : "velmora-scope: cannot write %s\n",
                     qPrintable(path));
        QApplication::exit(ok ? 0 : 1);
    });
    timer->start(100);
}

} // namespace

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that it needs no display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts(VersionLine("velmora-scope").c_str());
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName("velmora-scope");
    LoadProgramFonts();
    QApplication::setFont(WindowFont());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A live oscilloscope, spectrum and control panel for the chip emuapsd runs.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption trace("trace",
                                   "Show REG (a name of the loaded program, or a hex "
                                   "address) on the next trace; up to four.",
                                   "REG");
    const QCommandLineOption timeBase("time-base", "One screen's time in ms (1 to 2000).", "MS");
    const QCommandLineOption spectrum("spectrum", "The trace (1-4) whose spectrum is shown.", "N");
    const QCommandLineOption grab("grab",
                                  "Save the window as PNG to FILE after --grab-after "
                                  "seconds, then quit (for screenshots).",
                                  "FILE");
    const QCommandLineOption grabAfter("grab-after", "Seconds before --grab (3 by default).", "S",
                                       "3");
    parser.addOptions({trace, timeBase, spectrum, grab, grabAfter});
    parser.process(app);

    ScopeWindow window;
    const QStringList traces = parser.values(trace);
    for (int i = 0; i < traces.size() && i < ScopeWindow::kTraces; ++i)
        window.setTrace(i, traces[i]);
    if (parser.isSet(timeBase))
        window.setTimeBaseMs(parser.value(timeBase).toDouble());
    if (parser.isSet(spectrum))
        window.setSpectrumTrace(parser.value(spectrum).toInt() - 1);
    window.show();
    if (parser.isSet(grab))
        GrabWhenDrawn(window, parser.value(grab), parser.value(grabAfter).toDouble());
    return app.exec();
}
