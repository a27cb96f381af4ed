// The spectrum of one trace: the size and averaging controls, the plot, and a
// readout of the cursor. It computes only when it is drawn or read.
#pragma once

#include "frequency_analyzer.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class QComboBox;
class QLabel;
class QSpinBox;
class FrequencyPlot;

class FrequencyView : public QWidget {
    Q_OBJECT
  public:
    explicit FrequencyView(QWidget* parent = nullptr);

    // The chosen trace's samples as they arrive: oldest first, each call continuing the last.
    // Values as the DSP sees them; full scale is 2^31 (a TRAM data register's 20-bit sample is in
    // the top bits).
    void feed(const std::vector<int32_t>& values, bool tramData);
    // Another trace, a reload or a gap: forget what was fed.
    void restart();
    // Why nothing is fed ("Trace 2 shows no register"), said in place of the
    // reading; empty when samples come.
    void setIdleText(const QString& text);

    // The cursor, as the mouse over the plot sets it.
    void setCursorFrequency(double hz);
    void moveCursorToPeak();
    QString cursorText() const;

    const FrequencyAnalyzer& analyzer() const { return analyzer_; }

  private:
    void refreshCursorText();

    FrequencyAnalyzer analyzer_;
    std::vector<double> fractions_;
    QComboBox* size_ = nullptr;
    QSpinBox* average_ = nullptr;
    QLabel* cursor_ = nullptr;
    FrequencyPlot* plot_ = nullptr;
    QString idle_;
};
