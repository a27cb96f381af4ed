// The plot of a FrequencyAnalyzer: dBFS over the log frequency axis, with the
// grid, the labels and the cursor. Drawing is what makes a new spectrum.
#pragma once

#include "log_axis.h"

#include <QWidget>

#include <optional>

class FrequencyAnalyzer;

class FrequencyPlot : public QWidget {
    Q_OBJECT
  public:
    static constexpr double kTopDbfs = 0.0;
    static constexpr double kBottomDbfs = -120.0;

    FrequencyPlot(FrequencyAnalyzer& analyzer, QWidget* parent = nullptr);

    // The axis over the plot area; x counts from the area's left edge.
    LogAxis axis() const;
    // The cursor, in the axis's x.
    void setCursorX(double x);
    std::optional<double> cursorX() const { return cursorX_; }

    QSize minimumSizeHint() const override;

  signals:
    void cursorMoved();
    void spectrumChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QRect plotArea() const;
    double yOf(double dbfs) const;
    void drawGrid(QPainter& painter) const;
    void drawSpectrum(QPainter& painter) const;

    FrequencyAnalyzer& analyzer_;
    std::optional<double> cursorX_;
};
