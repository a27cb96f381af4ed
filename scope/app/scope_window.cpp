#include "scope_window.h"

#include "controls_panel.h"
#include "frequency_view.h"
#include "full_scale.h"
#include "program_fonts.h"
#include "register_choice.h"
#include "scope_bar.h"
#include "status_answer.h"
#include "trace_choice.h"
#include "trace_plot.h"
#include "trace_row.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

ScopeWindow::ScopeWindow(std::unique_ptr<ServiceLink> link)
    : link_(link ? std::move(link) : std::make_unique<ServiceLink>()) {
    setObjectName("scopeWindow");
    setWindowTitle(tr("Velmora scope"));
    setFont(WindowFont());
    registerIndex_.fill(-1);

    auto* left = new QWidget;
    auto* column = new QVBoxLayout(left);
    bar_ = new ScopeBar;
    column->addWidget(bar_);
    for (int i = 0; i < kTraces; ++i) {
        rows_[std::size_t(i)] = new TraceRow(i);
        column->addWidget(rows_[std::size_t(i)]);
        connect(rows_[std::size_t(i)], &TraceRow::changed, this, &ScopeWindow::tracesChanged);
    }
    chipState_ = new QLabel;
    chipState_->setObjectName("lblChipState");
    column->addWidget(chipState_);
    auto* split = new QSplitter(Qt::Vertical);
    plot_ = new TracePlot;
    split->addWidget(plot_);
    auto* spectrumBox = new QWidget;
    auto* spectrumColumn = new QVBoxLayout(spectrumBox);
    spectrumColumn->setContentsMargins(0, 0, 0, 0);
    auto* spectrumHead = new QHBoxLayout;
    spectrumHead->addWidget(new QLabel(tr("Spectrum of")));
    spectrumTrace_ = new QComboBox;
    spectrumTrace_->setObjectName("cmbSpectrumTrace");
    for (int i = 1; i <= kTraces; ++i)
        spectrumTrace_->addItem(tr("Trace %1").arg(i));
    spectrumHead->addWidget(spectrumTrace_);
    spectrumHead->addStretch(1);
    spectrumColumn->addLayout(spectrumHead);
    spectrum_ = new FrequencyView;
    spectrum_->setObjectName("spectrumView");
    spectrumColumn->addWidget(spectrum_, 1);
    split->addWidget(spectrumBox);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    column->addWidget(split, 1);

    controls_ = new ControlsPanel;
    auto* scroll = new QScrollArea;
    scroll->setObjectName("scrControls");
    scroll->setWidget(controls_);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(240);
    auto* across = new QSplitter(Qt::Horizontal);
    across->addWidget(left);
    across->addWidget(scroll);
    across->setStretchFactor(0, 4);
    across->setStretchFactor(1, 1);
    setCentralWidget(across);
    status_ = new QLabel;
    status_->setObjectName("lblStatus");
    statusBar()->addWidget(status_, 1);
    resize(1180, 820);

    connect(link_.get(), &ServiceLink::samplesAnswered, this, &ScopeWindow::takeSamples);
    connect(link_.get(), &ServiceLink::samplesRefused, this, &ScopeWindow::takeRefusal);
    connect(link_.get(), &ServiceLink::namesChanged, this, &ScopeWindow::takeNames);
    connect(link_.get(), &ServiceLink::statusAnswered, this, &ScopeWindow::takeStatus);
    connect(link_.get(), &ServiceLink::attachmentChanged, this, &ScopeWindow::takeAttachment);
    connect(link_.get(), &ServiceLink::controlsAnswered, controls_, &ControlsPanel::setControls);
    for (TraceRow* row : rows_)
        connect(link_.get(), &ServiceLink::controlsAnswered, row, &TraceRow::setControls);
    connect(link_.get(), &ServiceLink::answered, this,
            [this](const QString& line, int status, const QString& text) {
                if (status != 0 && attachment_ == Attachment::Attached)
                    status_->setText(line + ": " + text);
            });
    connect(controls_, &ControlsPanel::setRequested, this,
            [this](uint32_t address, uint32_t value) {
                link_->send(QString("set %1 0x%2")
                                .arg(QString::fromStdString(AddressText(address)))
                                .arg(value, 8, 16, QChar('0')));
            });
    connect(plot_, &TracePlot::goHereRequested, this,
            [this](uint64_t sample) { link_->send(QString("goto %1").arg(qulonglong(sample))); });
    connect(bar_, &ScopeBar::changed, this, &ScopeWindow::tracesChanged);
    connect(bar_, &ScopeBar::armRequested, this, [this] {
        model_.rearm();
        redraw();
    });
    connect(bar_, &ScopeBar::runRequested, this, [this] { link_->send("continue"); });
    connect(bar_, &ScopeBar::stopRequested, this, [this] { link_->send("stop"); });
    connect(bar_, &ScopeBar::clearRequested, this, [this] { link_->send("clear"); });
    connect(spectrumTrace_, &QComboBox::currentIndexChanged, this, &ScopeWindow::restartSpectrum);
    takeAttachment(int(Attachment::Unknown));
    // Only now that every answer has its receiver.
    link_->start();
}

ScopeWindow::~ScopeWindow() = default;

void ScopeWindow::setTrace(int i, const QString& text) {
    if (i >= 0 && i < kTraces)
        rows_[std::size_t(i)]->setRegisterText(text);
}

void ScopeWindow::setTimeBaseMs(double ms) {
    bar_->setTimeBaseMs(ms);
}

void ScopeWindow::setSpectrumTrace(int i) {
    spectrumTrace_->setCurrentIndex(i);
}

QString ScopeWindow::chipStateText() const {
    return chipState_->text();
}

QString ScopeWindow::statusText() const {
    return status_->text();
}

int ScopeWindow::registerOf(int row) const {
    return row >= 0 && row < kTraces ? registerIndex_[std::size_t(row)] : -1;
}

void ScopeWindow::tracesChanged() {
    const int spectrumBefore = registerOf(spectrumTrace_->currentIndex());
    std::vector<uint32_t> registers;
    for (int i = 0; i < kTraces; ++i) {
        const auto shown = rows_[std::size_t(i)]->shown();
        registerIndex_[std::size_t(i)] = shown ? int(registers.size()) : -1;
        if (shown)
            registers.push_back(*shown);
    }
    if (registers != model_.registers() ||
        registerOf(spectrumTrace_->currentIndex()) != spectrumBefore)
        restartSpectrum();
    model_.setRegisters(registers);
    model_.setTrigger(registerOf(bar_->triggerTrace()), bar_->trigger());
    if (model_.request() != asked_)
        askNext();
    redraw();
}

void ScopeWindow::askNext() {
    asked_ = model_.request();
    link_->setSamplesRequest(asked_);
}

void ScopeWindow::restartSpectrum() {
    spectrum_->restart();
    spectrumFeed_.clear();
    const int trace = spectrumTrace_->currentIndex();
    spectrum_->setIdleText(registerOf(trace) < 0 ? tr("Trace %1 shows no register").arg(trace + 1)
                                                 : QString());
}

void ScopeWindow::takeSamples(const SamplesAnswer& answer) {
    const ScopeTaken taken = model_.take(answer.asked, answer.header, answer.columns);
    askNext();
    if (!taken.taken)
        return;
    ++answers_;
    if (status_->text() == samplesProblem_) // that refusal is over
        status_->setText(tr("attached to emuapsd"));
    if (taken.restart)
        restartSpectrum();
    if (const int r = registerOf(spectrumTrace_->currentIndex());
        r >= 0 && std::size_t(r) < taken.fresh.size()) {
        const auto& fresh = taken.fresh[std::size_t(r)];
        spectrumFeed_.insert(spectrumFeed_.end(), fresh.begin(), fresh.end());
        // A few spectra a second are enough to read, and each costs a drawing.
        if (answers_ % kSpectrumEvery == 0 && !spectrumFeed_.empty()) {
            spectrum_->feed(spectrumFeed_, IsTramData(model_.registers()[std::size_t(r)]));
            spectrumFeed_.clear();
        }
    }
    bar_->showSaturation(answer.header.saturatedAt);
    redraw();
}

void ScopeWindow::takeRefusal(const QString& line, const QString& text) {
    const int r = line.toStdString() == model_.request()
                      ? RefusedRegister(text.toStdString(), model_.registers())
                      : -1;
    if (r < 0) {
        // Asked again: a refusal of an older request, or one of the moment
        // ("the chip was reloaded meanwhile").
        if (line.toStdString() == model_.request()) {
            samplesProblem_ = line + ": " + text;
            status_->setText(samplesProblem_);
        }
        askNext();
        return;
    }
    // Only that trace goes blank, with the reason; the others are asked on.
    const uint32_t refused = model_.registers()[std::size_t(r)];
    for (TraceRow* row : rows_)
        if (row->shown() == refused)
            row->setRefusal(text);
    tracesChanged(); // which asks without it
}

void ScopeWindow::takeStatus(const QString& text) {
    // The cursor marks only the past: at the newest it would sit on the edge.
    const std::optional<StatusAnswer> status = ParseStatus(text.toStdString());
    plot_->setStandingAt(status && status->behind ? std::optional(status->samples) : std::nullopt);
    if (model_.registers().empty()) {
        bar_->showSaturation(SaturationIn(text.toStdString()));
        chipState_->setText(text.section(';', 0, 0));
    }
}

void ScopeWindow::takeAttachment(int attachment) {
    const auto before = attachment_;
    attachment_ = Attachment(attachment);
    const QString text = QString::fromStdString(AttachmentText(attachment_));
    status_->setText(attachment_ == Attachment::Attached ? tr("attached to emuapsd") : text);
    plot_->setMessage(text);
    controls_->setReadOnly(attachment_ != Attachment::Attached);
    if (attachment_ == Attachment::Attached && before == Attachment::Gone) {
        model_.startOver();
        askNext();
    }
}

void ScopeWindow::takeNames(const ProgramNames& names) {
    // Another program, or the same again: each trace is read by its names,
    // and what the service refused is asked again.
    for (TraceRow* row : rows_) {
        row->setNames(names);
        row->setRefusal({});
    }
    tracesChanged();
}

void ScopeWindow::redraw() {
    const ScopeFrame frame = model_.frame(bar_->sweepSamples(), plot_->columnsWanted());
    std::vector<TraceStyle> styles;
    for (int i = 0; i < kTraces; ++i) {
        const int r = registerOf(i);
        const TraceSamples* t = r >= 0 ? &model_.trace(r) : nullptr;
        rows_[std::size_t(i)]->showValue(
            t && t->end() > t->begin() ? std::optional(t->at(t->end() - 1)) : std::nullopt);
        if (r >= 0)
            styles.push_back(rows_[std::size_t(i)]->style());
    }
    plot_->setFrame(frame, styles);
    if (!model_.registers().empty()) {
        const QString state = QString::fromStdString(model_.stateText());
        if (state != chipState_->text())
            chipState_->setText(state);
    }
}
