// The scope's screen: a grid of ten divisions across and eight up, each
// trace's columns drawn from their min to their max, and a message over it
// when there is nothing live to show; where the chip stands in its past,
// and "Go here" on the point under the mouse.
#pragma once

#include "scope_model.h"

#include <QColor>
#include <QLine>
#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QAction;
class QMenu;

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

    // The sample the chip stands at in its past: a cursor while the sweep
    // holds it, else said at the edge on its side.
    void setStandingAt(std::optional<uint64_t> sample);
    std::optional<uint64_t> standingAt() const { return standingAt_; }

    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 120}; }

  signals:
    // "Go here" on the sample the menu was opened over.
    void goHereRequested(uint64_t sample);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    ScopeFrame frame_;
    std::vector<TraceStyle> styles_;
    QString message_;
    std::optional<uint64_t> standingAt_;
    std::optional<uint64_t> menuSample_; // the sample under the menu's opening
    QMenu* menu_ = nullptr;
    QAction* goHere_ = nullptr;
    QList<QLine> lines_; // one trace's columns, drawn at once
};
