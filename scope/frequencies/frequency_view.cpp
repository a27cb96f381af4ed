#include "frequency_view.h"

#include "frequency_bins.h"
#include "frequency_plot.h"
#include "program_fonts.h"
#include "sample_fraction.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

FrequencyView::FrequencyView(QWidget* parent) : QWidget(parent) {
    setObjectName("spectrumView");
    setFont(WindowFont());

    size_ = new QComboBox(this);
    size_->setObjectName("cmbSpectrumSize");
    for (std::size_t n = FrequencyAnalyzer::kMinSize; n <= FrequencyAnalyzer::kMaxSize; n *= 2)
        size_->addItem(QString::number(n), QVariant::fromValue<qulonglong>(n));
    size_->setCurrentText(QString::number(analyzer_.fftSize()));

    average_ = new QSpinBox(this);
    average_->setObjectName("spnSpectrumAverage");
    average_->setRange(1, static_cast<int>(PowerAverager::kMaxDepth));
    average_->setValue(static_cast<int>(analyzer_.averageDepth()));

    cursor_ = new QLabel(this);
    cursor_->setObjectName("lblSpectrumCursor");
    // Room for the widest reading, so the row keeps still as it changes.
    cursor_->setMinimumWidth(
        cursor_->fontMetrics().horizontalAdvance("waiting for 65536 samples (65535 so far)"));

    plot_ = new FrequencyPlot(analyzer_, this);
    plot_->setObjectName("spectrumPlot");

    auto* sizeLabel = new QLabel(tr("FFT size:"), this);
    sizeLabel->setBuddy(size_);
    auto* averageLabel = new QLabel(tr("Average:"), this);
    averageLabel->setBuddy(average_);

    auto* controls = new QHBoxLayout;
    controls->addWidget(sizeLabel);
    controls->addWidget(size_);
    controls->addSpacing(12);
    controls->addWidget(averageLabel);
    controls->addWidget(average_);
    controls->addSpacing(12);
    controls->addWidget(cursor_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(plot_, 1);

    connect(size_, &QComboBox::currentIndexChanged, this, [this] {
        analyzer_.setFftSize(size_->currentData().toULongLong());
        plot_->update();
        refreshCursorText();
    });
    connect(average_, &QSpinBox::valueChanged, this, [this](int depth) {
        analyzer_.setAverageDepth(static_cast<std::size_t>(depth));
        plot_->update();
    });
    connect(plot_, &FrequencyPlot::cursorMoved, this, &FrequencyView::refreshCursorText);
    connect(plot_, &FrequencyPlot::spectrumChanged, this, &FrequencyView::refreshCursorText);
    refreshCursorText();
}

void FrequencyView::feed(const std::vector<int32_t>& values, bool tramData) {
    fractions_.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        fractions_[i] = SampleFraction(values[i], tramData);
    analyzer_.feed(fractions_.data(), fractions_.size());
    plot_->update();
    if (!analyzer_.hasSpectrum())
        refreshCursorText();
}

void FrequencyView::restart() {
    analyzer_.restart();
    plot_->update();
    refreshCursorText();
}

void FrequencyView::setIdleText(const QString& text) {
    if (text == idle_)
        return;
    idle_ = text;
    refreshCursorText();
}

void FrequencyView::setCursorFrequency(double hz) {
    plot_->setCursorX(plot_->axis().xOf(hz));
}

void FrequencyView::moveCursorToPeak() {
    analyzer_.update();
    if (analyzer_.hasSpectrum())
        setCursorFrequency(BinFrequency(analyzer_.peakBin(), analyzer_.fftSize()));
}

QString FrequencyView::cursorText() const {
    return cursor_->text();
}

void FrequencyView::refreshCursorText() {
    if (!idle_.isEmpty()) {
        cursor_->setText(idle_);
        return;
    }
    // A reading needs a spectrum: the cursor may ask before the plot is drawn.
    analyzer_.update();
    if (!analyzer_.hasSpectrum()) {
        cursor_->setText(tr("waiting for %1 samples (%2 so far)")
                             .arg(analyzer_.fftSize())
                             .arg(analyzer_.samplesHeld()));
        return;
    }
    if (!plot_->cursorX()) {
        cursor_->setText(tr("move the mouse over the plot to read it"));
        return;
    }
    const CursorReading reading = analyzer_.readingAt(plot_->axis(), *plot_->cursorX());
    cursor_->setText(
        QString("%1 Hz  %2 dBFS").arg(reading.hz, 0, 'f', 0).arg(reading.dbfs, 0, 'f', 1));
}
