#include "compact_cell_style.h"

#include <QApplication>
#include <QProxyStyle>

namespace {

class CompactCells : public QProxyStyle {
  public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        // Item views put this margin (plus one) on both sides of a cell's text.
        if (metric == PM_FocusFrameHMargin)
            return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

QStyle* CompactCellStyle() {
    static QStyle* const style = [] {
        auto* compact = new CompactCells;
        compact->setParent(qApp);
        return compact;
    }();
    return style;
}
