// The scope's line to emuapsd, on a thread of its own so a service that
// hangs (stopped by SIGSTOP, say) never holds up the window: samples about
// 30 times a second, controls and status a few times a second, and the
// verbs the window sends. It finds the service as emuapsctl does.
#pragma once

#include "scope_wire.h"
#include "service_state.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class QThread;
class QTimer;

struct SamplesAnswer {
    std::vector<uint32_t> asked;
    SamplesHeader header;
    std::vector<std::vector<int32_t>> columns;
};
Q_DECLARE_METATYPE(SamplesAnswer)
Q_DECLARE_METATYPE(std::vector<ControlInfo>)

class ServiceLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int kSamplesMs = 33;
    static constexpr int kStatusMs = 250;

    ServiceLink();
    ~ServiceLink() override;

    // What the next samples requests ask: a line and its registers, or an
    // empty line for none. Any thread.
    void setSamplesRequest(const std::string& line, const std::vector<uint32_t>& registers);
    // Sends a verb ("set fb 0x40000000", "stop", ...) ahead of the next poll.
    void send(const QString& line);

  signals:
    void samplesAnswered(const SamplesAnswer& answer);
    void controlsAnswered(const std::vector<ControlInfo>& controls);
    void statusAnswered(const QString& text);
    void attachmentChanged(int attachment);
    void answered(const QString& line, int status, const QString& text);

  private:
    // On the link's thread.
    void pollSamples();
    void pollStatus();
    void ask(const QString& line);
    void note(int status, const std::string& text);

    QThread* thread_ = nullptr;
    QObject* worker_ = nullptr; // lives on thread_; the timers' parent
    std::mutex lock_;
    std::string line_;
    std::vector<uint32_t> registers_;
    Attachment attachment_ = Attachment::Unknown;
};
