#include "trace_plot.h"

#include "full_scale.h"
#include "sweep_axis.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kDivisionsAcross = 10;
constexpr int kDivisionsUp = 8;
} // namespace

TracePlot::TracePlot(QWidget* parent) : QWidget(parent) {
    setObjectName("tracePlot");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // It fills itself: nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    menu_ = new QMenu(this);
    goHere_ = menu_->addAction(tr("Go here"));
    goHere_->setObjectName("actGoHere");
    goHere_->setToolTip(tr("Put the chip at the sample under the mouse"));
    connect(goHere_, &QAction::triggered, this, [this] {
        if (menuSample_)
            emit goHereRequested(*menuSample_);
    });
}

void TracePlot::setStandingAt(std::optional<uint64_t> sample) {
    if (sample == standingAt_)
        return;
    standingAt_ = sample;
    update();
}

void TracePlot::contextMenuEvent(QContextMenuEvent* event) {
    menuSample_ = frame_.columns.empty() ? std::nullopt : SampleAtX(frame_, width(), event->x());
    goHere_->setEnabled(menuSample_.has_value());
    goHere_->setText(menuSample_ ? tr("Go here (sample %1)").arg(qulonglong(*menuSample_))
                                 : tr("Go here"));
    // Not exec: the window's answers go on arriving while it is open.
    menu_->popup(event->globalPos());
}

void TracePlot::setFrame(const ScopeFrame& frame, const std::vector<TraceStyle>& styles) {
    frame_ = frame;
    styles_ = styles;
    update();
}

void TracePlot::setMessage(const QString& message) {
    if (message == message_)
        return;
    message_ = message;
    update();
}

void TracePlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(12, 16, 12));
    p.setPen(QColor(50, 70, 50));
    for (int i = 1; i < kDivisionsAcross; ++i)
        p.drawLine(width() * i / kDivisionsAcross, 0, width() * i / kDivisionsAcross, height());
    for (int i = 1; i < kDivisionsUp; ++i)
        p.drawLine(0, height() * i / kDivisionsUp, width(), height() * i / kDivisionsUp);
    p.setPen(QColor(80, 110, 80));
    p.drawLine(0, height() / 2, width(), height() / 2);

    const double half = height() / 2.0;
    for (std::size_t t = 0; t < frame_.columns.size() && t < styles_.size(); ++t) {
        const std::vector<MinMax>& columns = frame_.columns[t];
        const TraceStyle& s = styles_[t];
        const auto y = [&](int32_t v) {
            const double f = Fraction(v) * s.scale + s.offset;
            return int(std::lround(half - std::clamp(f, -1.05, 1.05) * half));
        };
        p.setPen(s.colour);
        lines_.clear();
        int lastLow = 0, lastHigh = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            int high = y(columns[c].max), low = y(columns[c].min);
            // Joined to the column before, so a steep edge is not drawn as dots.
            if (c > 0) {
                high = std::min(high, lastLow);
                low = std::max(low, lastHigh);
            }
            const int x = int(c * std::size_t(width()) / columns.size());
            lines_.push_back(QLine(x, std::min(high, low), x, std::max(high, low)));
            lastLow = y(columns[c].min);
            lastHigh = y(columns[c].max);
        }
        p.drawLines(lines_);
    }
    const QColor standing(255, 140, 60);
    if (const auto x = standingAt_ ? XOfSample(frame_, width(), *standingAt_) : std::nullopt) {
        p.setPen(QPen(standing, 1, Qt::DashLine));
        p.drawLine(*x, 0, *x, height());
    } else if (standingAt_ && frame_.to > frame_.from) {
        // Off the sweep: said at the edge on its side, with how far off.
        const bool before = SideOfSweep(frame_, *standingAt_) < 0;
        const qulonglong off = before ? frame_.from - *standingAt_ : *standingAt_ - (frame_.to - 1);
        p.setPen(standing);
        p.drawText(rect().adjusted(6, 4, -6, -4),
                   Qt::AlignTop | (before ? Qt::AlignLeft : Qt::AlignRight),
                   before ? tr("\u25C0 the chip stands at sample %1, %2 before the sweep")
                                .arg(qulonglong(*standingAt_))
                                .arg(off)
                          : tr("the chip stands at sample %1, %2 after the sweep \u25B6")
                                .arg(qulonglong(*standingAt_))
                                .arg(off));
    }
    if (!message_.isEmpty()) {
        QFont f = font();
        f.setPointSizeF(f.pointSizeF() * 1.5);
        p.setFont(f);
        p.setPen(QColor(240, 220, 120));
        p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, message_);
    }
}
