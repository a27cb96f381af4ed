#include "launched_service.h"

#include "service_link.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kStartMs = 20000; // a busy machine and a sanitised build start slowly
constexpr int kEndMs = 5000;

std::string PrivateFolder() {
    const QString base = qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath());
    return (base + "/velmora-dap-" + QString::number(getpid())).toStdString();
}

} // namespace

QString EmuapsdPath() {
    const QString beside = QCoreApplication::applicationDirPath() + "/emuapsd";
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable("emuapsd");
}

LaunchedService::LaunchedService(std::function<void(const QString&)> log) : log_(std::move(log)) {
    connect(&process_, &QProcess::readyReadStandardError, this, &LaunchedService::ReadLog);
}

LaunchedService::~LaunchedService() {
    End();
}

qint64 LaunchedService::pid() const {
    return process_.processId();
}

void LaunchedService::ReadLog() {
    partial_ += process_.readAllStandardError();
    for (qsizetype end; (end = partial_.indexOf('\n')) >= 0;) {
        log_(QString::fromUtf8(partial_.left(end)));
        partial_.remove(0, end + 1);
    }
}

bool LaunchedService::Start(const QStringList& args, QString* why) {
    const QString program = EmuapsdPath();
    if (program.isEmpty()) {
        *why = "no emuapsd beside velmora-dap or on PATH";
        return false;
    }
    folder_ = PrivateFolder();
    QDir().mkpath(QString::fromStdString(folder_));
    QFile::setPermissions(QString::fromStdString(folder_),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(folder_));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setStandardOutputFile(QProcess::nullDevice());
    // Should the adapter die without its disconnect, the service goes too.
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(program, args);
    if (!process_.waitForStarted(kStartMs)) {
        *why = "emuapsd did not start: " + process_.errorString();
        return false;
    }
    const ServiceLink link = ServiceLink::InFolder(folder_);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kStartMs) {
        if (process_.state() == QProcess::NotRunning) {
            ReadLog();
            *why = "emuapsd ended at its start (status " + QString::number(process_.exitCode()) +
                   "); its log says why";
            return false;
        }
        if (link.AskWithin("status", 1000).trouble == ControlTrouble::kNone)
            return true;
        process_.waitForReadyRead(50);
        ReadLog();
    }
    *why =
        "emuapsd's control socket did not answer within " + QString::number(kStartMs / 1000) + " s";
    End();
    return false;
}

void LaunchedService::End() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(kEndMs)) {
            process_.kill();
            process_.waitForFinished(kEndMs);
        }
        ReadLog();
    }
    if (!folder_.empty()) {
        QDir(QString::fromStdString(folder_)).removeRecursively();
        folder_.clear();
    }
}
