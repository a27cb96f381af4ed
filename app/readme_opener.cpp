#include "readme_opener.h"

#include "program_folder.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace {

// The desktop's launcher, and the Debian package that brings it.
constexpr const char* kLauncher = "xdg-open";
constexpr const char* kLauncherPackage = "xdg-utils";

} // namespace

QString ReadmePath() {
    return QString::fromStdString(ProgramFolder()) + "/readme.txt";
}

Desktop SystemDesktop() {
    return {[](const QUrl& url) { return QDesktopServices::openUrl(url); },
            [](const QString& program) { return QStandardPaths::findExecutable(program); }};
}

bool OpenInTextViewer(const QString& path, const Desktop& desktop) {
    if (desktop.open(QUrl::fromLocalFile(path)))
        return true;
    // Qt says only that it failed, if anything; its usual launcher being
    // missing is the common reason, and the package brings it.
    const QString launcher = desktop.findProgram(kLauncher);
    const std::string why =
        launcher.isEmpty()
            ? std::string("no desktop launcher (install ") + kLauncherPackage + ")"
            : "the desktop launcher " + launcher.toStdString() + " could not be started";
    std::fprintf(stderr, "velmora: cannot open %s: %s\n",
                 QFileInfo(path).fileName().toLocal8Bit().constData(), why.c_str());
    std::fflush(stderr);
    return false;
}
