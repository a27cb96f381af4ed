#include "scope_bar.h"

#include "time_bases.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace {
constexpr int kRate = 48000;
} // namespace

ScopeBar::ScopeBar(QWidget* parent) : QWidget(parent) {
    setObjectName("scopeBar");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Time base")));
    timeBase_ = new QComboBox;
    timeBase_->setObjectName("cmbTimeBase");
    for (double ms : kTimeBasesMs)
        timeBase_->addItem(ms < 1000 ? tr("%1 ms").arg(ms) : tr("%1 s").arg(ms / 1000), ms);
    timeBase_->setCurrentIndex(timeBase_->findData(kDefaultTimeBaseMs));
    layout->addWidget(timeBase_);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(tr("Trigger")));
    source_ = new QComboBox;
    source_->setObjectName("cmbTriggerTrace");
    source_->addItem(tr("none"));
    for (int i = 1; i <= kScopeTraces; ++i)
        source_->addItem(tr("Trace %1").arg(i));
    source_->setCurrentIndex(1);
    layout->addWidget(source_);
    edge_ = new QComboBox;
    edge_->setObjectName("cmbTriggerEdge");
    edge_->addItems({tr("rising"), tr("falling")});
    layout->addWidget(edge_);
    level_ = new QDoubleSpinBox;
    level_->setObjectName("spnTriggerLevel");
    level_->setRange(-1, 1);
    level_->setDecimals(3);
    level_->setSingleStep(0.05);
    level_->setToolTip(tr("The level, as a fraction of full scale"));
    layout->addWidget(level_);
    mode_ = new QComboBox;
    mode_->setObjectName("cmbTriggerMode");
    mode_->addItems({tr("auto"), tr("normal"), tr("single")});
    layout->addWidget(mode_);
    auto* arm = new QPushButton(tr("Arm"));
    arm->setObjectName("btnTriggerArm");
    arm->setToolTip(tr("Single: wait for the next trigger"));
    layout->addWidget(arm);
    layout->addStretch(1);
    auto* run = new QPushButton(tr("Run"));
    run->setObjectName("btnRun");
    auto* stop = new QPushButton(tr("Stop"));
    stop->setObjectName("btnStop");
    layout->addWidget(run);
    layout->addWidget(stop);
    layout->addSpacing(12);
    lamp_ = new QLabel;
    lamp_->setObjectName("lblSaturationLamp");
    lamp_->setFixedSize(14, 14);
    layout->addWidget(lamp_);
    lampText_ = new QLabel;
    lampText_->setObjectName("lblSaturation");
    layout->addWidget(lampText_);
    auto* clear = new QPushButton(tr("Clear"));
    clear->setObjectName("btnClearSaturation");
    layout->addWidget(clear);
    showSaturation(-1);

    connect(timeBase_, &QComboBox::currentIndexChanged, this, &ScopeBar::changed);
    connect(source_, &QComboBox::currentIndexChanged, this, &ScopeBar::changed);
    connect(edge_, &QComboBox::currentIndexChanged, this, &ScopeBar::changed);
    connect(level_, &QDoubleSpinBox::valueChanged, this, &ScopeBar::changed);
    connect(mode_, &QComboBox::currentIndexChanged, this, &ScopeBar::changed);
    connect(arm, &QPushButton::clicked, this, &ScopeBar::armRequested);
    connect(run, &QPushButton::clicked, this, &ScopeBar::runRequested);
    connect(stop, &QPushButton::clicked, this, &ScopeBar::stopRequested);
    connect(clear, &QPushButton::clicked, this, &ScopeBar::clearRequested);
}

uint64_t ScopeBar::sweepSamples() const {
    return uint64_t(std::llround(timeBase_->currentData().toDouble() * kRate / 1000));
}

void ScopeBar::setTimeBaseMs(double ms) {
    const int i = timeBase_->findData(ms);
    if (i >= 0)
        timeBase_->setCurrentIndex(i);
}

int ScopeBar::triggerTrace() const {
    return source_->currentIndex() - 1;
}

TriggerSettings ScopeBar::trigger() const {
    TriggerSettings s;
    s.edge = edge_->currentIndex() == 1 ? Edge::Falling : Edge::Rising;
    s.level = int32_t(std::clamp(std::llround(level_->value() * 2147483648.0), (long long)INT32_MIN,
                                 (long long)INT32_MAX));
    s.mode = mode_->currentIndex() == 1   ? TriggerMode::Normal
             : mode_->currentIndex() == 2 ? TriggerMode::Single
                                          : TriggerMode::Auto;
    return s;
}

void ScopeBar::showSaturation(int instruction) {
    // A style sheet is costly to apply; most frames change nothing.
    if (instruction == shown_)
        return;
    shown_ = instruction;
    lamp_->setStyleSheet(instruction < 0 ? "background: #303830; border-radius: 7px;"
                                         : "background: #ff3020; border-radius: 7px;");
    lampText_->setText(instruction < 0
                           ? tr("no saturation")
                           : tr("saturated at 0x%1")
                                 .arg(QString("%1").arg(instruction, 3, 16, QChar('0')).toUpper()));
}

QString ScopeBar::lampText() const {
    return lampText_->text();
}
