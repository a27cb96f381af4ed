// The scope's line to emuapsd, on a thread of its own so a service that
// hangs (stopped by SIGSTOP, say) never holds up the window: samples about
// 30 times a second, controls, status and the placed program's names a few
// times a second, and the verbs the window sends. It finds the service as
// emuapsctl does.
#pragma once

#include "controls_answer.h"
#include "program_names.h"
#include "samples_answer.h"
#include "service_state.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class QThread;
class QTimer;

struct SamplesAnswer {
    std::string asked; // the request line it answers
    SamplesHeader header;
    std::vector<std::vector<int32_t>> columns;
};
Q_DECLARE_METATYPE(SamplesAnswer)
Q_DECLARE_METATYPE(std::vector<ControlInfo>)
Q_DECLARE_METATYPE(ProgramNames)

class ServiceLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int kSamplesMs = 33;
    static constexpr int kStatusMs = 250;

    // Stopped: nothing is asked before start(), so no answer comes before
    // the receivers are connected.
    ServiceLink();
    ~ServiceLink() override;

    // Starts asking. Started already, it tells its attachment and names
    // again, for receivers connected since.
    void start();
    // The samples request to ask next (empty for none). One is asked at a
    // time: after an answer or a refusal the link asks nothing more until
    // this is called again, so a slow window never has answers queue up.
    // Any thread.
    void setSamplesRequest(const std::string& line);
    // Sends a verb ("set fb 0x40000000", "stop", ...) ahead of the next poll.
    void send(const QString& line);
    // Samples requests sent so far. Any thread.
    int samplesAsked() const { return samplesAsked_; }

  signals:
    void samplesAnswered(const SamplesAnswer& answer);
    // The service refused the samples request line, for the reason text.
    void samplesRefused(const QString& line, const QString& text);
    void controlsAnswered(const std::vector<ControlInfo>& controls);
    void statusAnswered(const QString& text);
    void attachmentChanged(int attachment);
    // The placed program's names, once attached and whenever they change.
    void namesChanged(const ProgramNames& names);
    void answered(const QString& line, int status, const QString& text);

  private:
    // On the link's thread.
    void pollSamples();
    void pollStatus();
    // Tells the names when they changed, or were not yet told since attaching.
    void readNames();
    void ask(const QString& line);
    void note(const ControlReply& reply);

    QThread* thread_ = nullptr;
    QObject* worker_ = nullptr; // lives on thread_; the timers' parent
    bool started_ = false;      // the window's thread's own
    std::mutex lock_;
    std::string line_;
    bool waiting_ = false; // an answer is with the window, not yet followed by a request
    std::atomic<int> samplesAsked_ = 0;
    // The link's thread's own.
    Attachment attachment_ = Attachment::Unknown;
    ProgramNames names_;
    bool namesTold_ = false;
    uint64_t load_ = 0;
};
