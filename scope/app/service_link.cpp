#include "service_link.h"

#include "control_client.h"

#include <QThread>
#include <QTimer>

ServiceLink::ServiceLink() {
    qRegisterMetaType<SamplesAnswer>();
    qRegisterMetaType<std::vector<ControlInfo>>();
    thread_ = new QThread;
    thread_->setObjectName("scope service link");
    worker_ = new QObject;
    auto* samples = new QTimer(worker_);
    auto* status = new QTimer(worker_);
    worker_->moveToThread(thread_); // and its timers with it
    samples->setInterval(kSamplesMs);
    status->setInterval(kStatusMs);
    connect(samples, &QTimer::timeout, worker_, [this] { pollSamples(); });
    connect(status, &QTimer::timeout, worker_, [this] { pollStatus(); });
    connect(thread_, &QThread::started, worker_, [this, samples, status] {
        pollStatus();
        samples->start();
        status->start();
    });
    thread_->start();
}

ServiceLink::~ServiceLink() {
    // The worker and its timers go on their own thread, then the thread stops.
    QMetaObject::invokeMethod(worker_, [this] {
        delete worker_;
        thread_->quit();
    });
    thread_->wait();
    delete thread_;
}

void ServiceLink::setSamplesRequest(const std::string& line,
                                    const std::vector<uint32_t>& registers) {
    std::lock_guard guard(lock_);
    line_ = line;
    registers_ = registers;
}

void ServiceLink::send(const QString& line) {
    QMetaObject::invokeMethod(worker_, [this, line] { ask(line); });
}

void ServiceLink::note(int status, const std::string& text) {
    const Attachment now = AttachmentOf(status, text, attachment_);
    if (now != attachment_) {
        attachment_ = now;
        emit attachmentChanged(int(now));
    }
}

void ServiceLink::ask(const QString& line) {
    const ControlReply reply = AskService(line.toStdString());
    note(reply.status, reply.text);
    emit answered(line, reply.status, QString::fromStdString(reply.text));
}

void ServiceLink::pollSamples() {
    if (attachment_ != Attachment::Attached)
        return;
    std::string line;
    std::vector<uint32_t> registers;
    {
        std::lock_guard guard(lock_);
        line = line_;
        registers = registers_;
    }
    if (line.empty())
        return;
    const ControlReply reply = AskService(line);
    note(reply.status, reply.text);
    if (reply.status != 0)
        return;
    const auto header = ParseSamplesHeader(reply.text);
    if (!header)
        return;
    SamplesAnswer answer{registers, *header, SamplesColumns(*header, reply.payload)};
    if (int(answer.columns.size()) != header->registers)
        return;
    emit samplesAnswered(answer);
}

void ServiceLink::pollStatus() {
    const ControlReply status = AskService("status");
    note(status.status, status.text);
    if (status.status == 0)
        emit statusAnswered(QString::fromStdString(status.text));
    if (attachment_ != Attachment::Attached && attachment_ != Attachment::Card)
        return;
    const ControlReply controls = AskService("controls");
    note(controls.status, controls.text);
    if (controls.status != 0)
        return;
    if (const auto parsed = ParseControls(controls.text))
        emit controlsAnswered(*parsed);
}
