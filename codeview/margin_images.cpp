#include "margin_images.h"

#include <QPainter>
#include <QPolygonF>

std::array<QPixmap, 2> MakeMarginImages(int size) {
    std::array<QPixmap, 2> images{QPixmap(size, size), QPixmap(size, size)};
    for (QPixmap& image : images)
        image.fill(Qt::transparent);
    const qreal s = size;

    // Changed: a red square in the left half.
    {
        QPainter painter(&images[0]);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(0x80, 0x00, 0x00));
        painter.setBrush(QColor(0xE0, 0x20, 0x20));
        painter.drawRect(QRectF(s * 0.08, s * 0.3, s * 0.36, s * 0.4));
    }
    // Caret line: a blue arrow in the right half, pointing at the text.
    {
        QPainter painter(&images[1]);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(0x00, 0x00, 0x60));
        painter.setBrush(QColor(0x20, 0x40, 0xE0));
        const QPolygonF arrow(
            {QPointF(s * 0.52, s * 0.2), QPointF(s * 0.94, s * 0.5), QPointF(s * 0.52, s * 0.8)});
        painter.drawPolygon(arrow);
    }
    return images;
}
