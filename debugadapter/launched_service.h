// The emuapsd a launch starts: the one beside this program, else the one on
// PATH, in a runtime folder of its own, its log read line by line. It ends
// with the session, and with this process should that die first.
#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

#include <functional>
#include <string>

class LaunchedService : public QObject {
    Q_OBJECT
  public:
    // log gets each line the service writes to its standard error.
    explicit LaunchedService(std::function<void(const QString&)> log);
    ~LaunchedService() override;

    // Starts emuapsd with args and waits until its control socket answers;
    // false with why when it does not start or does not answer in time.
    bool Start(const QStringList& args, QString* why);
    // SIGTERM, then SIGKILL after a while; the folder goes too.
    void End();
    const std::string& folder() const { return folder_; }
    qint64 pid() const;

  private:
    void ReadLog();

    std::function<void(const QString&)> log_;
    QProcess process_;
    std::string folder_;
    QByteArray partial_;
};

// Where emuapsd is: beside this program, else on PATH ("" for neither).
QString EmuapsdPath();
