// velmora-scope: a live oscilloscope, spectrum and control panel for the
// chip that emuapsd runs.
#include "program_fonts.h"
#include "program_version.h"
#include "scope_command_line.h"
#include "scope_window.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>

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
    const ScopeCommandLine line =
        ParseScopeCommandLine(std::vector<std::string>(argv, argv + argc));
    switch (line.action) {
    case ScopeCommandLine::Action::Help:
        std::fputs(ScopeHelp().c_str(), stdout);
        return 0;
    case ScopeCommandLine::Action::Version:
        std::puts(VersionLine("velmora-scope").c_str());
        return 0;
    case ScopeCommandLine::Action::Mistake:
        std::fprintf(stderr, "velmora-scope: %s\nTry 'velmora-scope --help'.\n",
                     line.mistake.c_str());
        return 2;
    case ScopeCommandLine::Action::Show:
        break;
    }
    const ScopeOptions& o = line.options;
    // QApplication keeps argc and argv: both live as long as it does.
    std::vector<std::string> qtWords = o.qtArguments;
    std::vector<char*> qtArgv;
    for (std::string& word : qtWords)
        qtArgv.push_back(word.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtWords.size());
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName("velmora-scope");
    LoadProgramFonts();
    QApplication::setFont(WindowFont());

    ScopeWindow window;
    for (std::size_t i = 0; i < o.traces.size(); ++i)
        window.setTrace(int(i), QString::fromStdString(o.traces[i]));
    if (o.timeBaseMs)
        window.setTimeBaseMs(*o.timeBaseMs);
    if (o.spectrumTrace)
        window.setSpectrumTrace(*o.spectrumTrace);
    window.show();
    if (!o.grabPath.empty())
        GrabWhenDrawn(window, QString::fromStdString(o.grabPath), o.grabAfterSeconds);
    return app.exec();
}
