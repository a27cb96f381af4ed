// The scope's screen: a grid of ten divisions across and eight up, each
// trace's columns drawn from their min to their max, and a message over it
// when there is nothing live to show.
#pragma once

#include "scope_model.h"

#include <QColor>
#include <QLine>
#include <QList>
#include <QString>
#include <QWidget>

#include <vector>

struct TraceStyle {
    QColor colour;
    double scale = 1;  // a gain: at 1, full scale reaches the top
    double offset = 0; // in full-scale fractions, added after the scale
};

class TracePlot : public QWidget {
    Q_OBJECT
  public:
    explicit TracePlot(QWidget* parent = nullptr);

    void setFrame(const ScopeFrame& frame, const std::vector<TraceStyle>& styles);
    const ScopeFrame& shown() const { return frame_; }
    // The columns a frame should have: one per pixel across.
    int columnsWanted() const { return std::max(1, width()); }
    // Over the screen, centred; empty for none.
    void setMessage(const QString& message);
    const QString& message() const { return message_; }

    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 120}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ScopeFrame frame_;
    std::vector<TraceStyle> styles_;
    QString message_;
    QList<QLine> lines_; // one trace's columns, drawn at once
};
