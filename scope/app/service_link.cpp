#include "service_link.h"

#include "control_client.h"

#include <QThread>
#include <QTimer>

ServiceLink::ServiceLink() {
    qRegisterMetaType<SamplesAnswer>();
    qRegisterMetaType<std::vector<ControlInfo>>();
    qRegisterMetaType<ProgramNames>();
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
}

ServiceLink::~ServiceLink() {
    if (!started_) {
        delete worker_;
        delete thread_;
        return;
    }
    // The worker and its timers go on their own thread, then the thread stops.
    QMetaObject::invokeMethod(worker_, [this] {
        delete worker_;
        thread_->quit();
    });
    thread_->wait();
    delete thread_;
}

void ServiceLink::start() {
    if (!started_) {
        started_ = true;
        thread_->start();
        return;
    }
    QMetaObject::invokeMethod(worker_, [this] {
        emit attachmentChanged(int(attachment_));
        if (namesTold_)
            emit namesChanged(names_);
    });
}

void ServiceLink::setSamplesRequest(const std::string& line) {
    std::lock_guard guard(lock_);
    line_ = line;
    waiting_ = false;
}

void ServiceLink::send(const QString& line) {
    QMetaObject::invokeMethod(worker_, [this, line] { ask(line); });
}

void ServiceLink::note(const ControlReply& reply) {
    const Attachment now = AttachmentOf(reply, attachment_);
    if (now != attachment_) {
        attachment_ = now;
        // Attached anew, perhaps to another service: its names are told afresh.
        namesTold_ = false;
        emit attachmentChanged(int(now));
    }
}

void ServiceLink::readNames() {
    ProgramNames names = ReadPlacedProgramNames();
    if (namesTold_ && names == names_)
        return;
    names_ = std::move(names);
    namesTold_ = true;
    emit namesChanged(names_);
}

void ServiceLink::ask(const QString& line) {
    const ControlReply reply = AskService(line.toStdString());
    note(reply);
    emit answered(line, reply.status, QString::fromStdString(reply.text));
}

void ServiceLink::pollSamples() {
    if (attachment_ != Attachment::Attached)
        return;
    std::string line;
    {
        std::lock_guard guard(lock_);
        if (waiting_ || line_.empty())
            return;
        line = line_;
    }
    ++samplesAsked_;
    const ControlReply reply = AskService(line);
    note(reply);
    if (attachment_ != Attachment::Attached)
        return; // asked again once the service is back
    const auto header = reply.status == 0 ? ParseSamplesHeader(reply.text) : std::nullopt;
    std::vector<std::vector<int32_t>> columns;
    if (header)
        columns = SamplesColumns(*header, reply.payload);
    {
        std::lock_guard guard(lock_);
        waiting_ = true;
    }
    if (!header || int(columns.size()) != header->registers) {
        emit samplesRefused(
            QString::fromStdString(line),
            QString::fromStdString(
                reply.status != 0 ? reply.text : "the service gave an answer that makes no sense"));
        return;
    }
    // A reload may have moved the names: they come first, so that the window
    // asks for their registers and leaves this answer for the old ones.
    if (header->load != load_) {
        load_ = header->load;
        readNames();
    }
    emit samplesAnswered({line, *header, std::move(columns)});
}

void ServiceLink::pollStatus() {
    const ControlReply status = AskService("status");
    note(status);
    if (status.status == 0)
        emit statusAnswered(QString::fromStdString(status.text));
    if (attachment_ == Attachment::Attached)
        readNames();
    if (attachment_ != Attachment::Attached && attachment_ != Attachment::Card)
        return;
    const ControlReply controls = AskService("controls");
    note(controls);
    if (controls.status != 0)
        return;
    if (const auto parsed = ParseControls(controls.text))
        emit controlsAnswered(*parsed);
}
