#include "frequency_plot.h"

#include "frequency_analyzer.h"
#include "program_fonts.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
QString HzLabel(double hz) {
    if (hz >= 1000.0)
        return QString::number(hz / 1000.0, 'g', 3) + "k";
    return QString::number(hz, 'g', 3);
}
} // namespace

FrequencyPlot::FrequencyPlot(FrequencyAnalyzer& analyzer, QWidget* parent)
    : QWidget(parent), analyzer_(analyzer) {
    setFont(WindowFont());
    setMouseTracking(true);
    setAutoFillBackground(false);
}

QSize FrequencyPlot::minimumSizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance("-120 dB") * 8, metrics.height() * 12};
}

QRect FrequencyPlot::plotArea() const {
    // Room on the left for the level labels and below for the frequencies.
    const QFontMetrics metrics(font());
    const int left = metrics.horizontalAdvance("-120 dB") + metrics.horizontalAdvance(' ');
    const int bottom = metrics.height() + 4;
    const int top = metrics.height() / 2 + 1;
    const int right = metrics.horizontalAdvance("20k") / 2 + 2;
    return QRect(left, top, std::max(1, width() - left - right),
                 std::max(1, height() - top - bottom));
}

LogAxis FrequencyPlot::axis() const {
    return LogAxis{static_cast<double>(plotArea().width())};
}

double FrequencyPlot::yOf(double dbfs) const {
    const QRect area = plotArea();
    const double clamped = std::clamp(dbfs, kBottomDbfs, kTopDbfs);
    return area.top() + (kTopDbfs - clamped) / (kTopDbfs - kBottomDbfs) * area.height();
}

void FrequencyPlot::setCursorX(double x) {
    cursorX_ = x;
    update();
    emit cursorMoved();
}

void FrequencyPlot::mouseMoveEvent(QMouseEvent* event) {
    const QRect area = plotArea();
    const double x = event->position().x() - area.left();
    if (x >= 0 && x < area.width())
        setCursorX(x);
}

void FrequencyPlot::paintEvent(QPaintEvent*) {
    if (analyzer_.update())
        emit spectrumChanged();
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    drawGrid(painter);
    drawSpectrum(painter);
    if (cursorX_) {
        const QRect area = plotArea();
        const double x = area.left() + *cursorX_;
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DashLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
}

void FrequencyPlot::drawGrid(QPainter& painter) const {
    const QRect area = plotArea();
    const QFontMetrics metrics(font());
    const QColor text = palette().text().color();
    QColor major = palette().mid().color();
    QColor minor = palette().midlight().color();
    painter.setFont(font());

    for (double db = kTopDbfs; db >= kBottomDbfs; db -= 10.0) {
        const double y = yOf(db);
        const bool labelled = std::fmod(-db, 20.0) == 0.0;
        painter.setPen(labelled ? major : minor);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        if (labelled) {
            painter.setPen(text);
            const QString label = QString::number(db, 'f', 0) + " dB";
            painter.drawText(QRectF(0, y - metrics.height() / 2.0,
                                    area.left() - metrics.horizontalAdvance(' ') / 2.0,
                                    metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, label);
        }
    }

    const LogAxis frequencies = axis();
    for (const AxisMark& mark : LogAxisMarks()) {
        const double x = area.left() + frequencies.xOf(mark.hz);
        painter.setPen(mark.decade ? major : minor);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(text);
        const QString label = HzLabel(mark.hz);
        const double w = metrics.horizontalAdvance(label) + 2;
        painter.drawText(QRectF(x - w / 2, area.bottom() + 2, w, metrics.height()), Qt::AlignCenter,
                         label);
    }
}

void FrequencyPlot::drawSpectrum(QPainter& painter) const {
    if (!analyzer_.hasSpectrum())
        return;
    const QRect area = plotArea();
    const LogAxis frequencies = axis();
    // One point per pixel column at its strongest bin, so no peak is lost
    // where a column covers many bins.
    QPainterPath path;
    for (int column = 0; column < area.width(); ++column) {
        const QPointF point(area.left() + column + 0.5,
                            yOf(analyzer_.readingAt(frequencies, column).dbfs));
        if (column == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(palette().link().color(), 1.2));
    painter.setClipRect(area);
    painter.drawPath(path);
    painter.setClipping(false);
}
