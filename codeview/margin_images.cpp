#include "margin_images.h"

#include <QPainter>
#include <QPolygonF>

std::array<QPixmap, 2> MakeMarginImages(QSize size) {
    std::array<QPixmap, 2> images{QPixmap(size), QPixmap(size)};
    for (QPixmap& image : images)
        image.fill(Qt::transparent);
    const qreal w = size.width();
    const qreal h = size.height();

    // Changed: a red square in the left half.
    {
        QPainter painter(&images[0]);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(0x80, 0x00, 0x00));
        painter.setBrush(QColor(0xE0, 0x20, 0x20));
        painter.drawRect(QRectF(w * 0.05, h * 0.5 - w * 0.2, w * 0.4, w * 0.4));
    }
    // Caret line: a blue arrow in the right half, pointing at the text.
    {
        QPainter painter(&images[1]);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(0x00, 0x00, 0x60));
        painter.setBrush(QColor(0x20, 0x40, 0xE0));
        const QPolygonF arrow({QPointF(w * 0.5, h * 0.5 - w * 0.35), QPointF(w * 0.95, h * 0.5),
                               QPointF(w * 0.5, h * 0.5 + w * 0.35)});
        painter.drawPolygon(arrow);
    }
    return images;
}
