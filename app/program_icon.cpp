#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace keldarn::app {

void PaintProgramIcon(QPainter& painter, double widthPx, double heightPx)
{
    painter.fillRect(QRectF(0, 0, widthPx, heightPx), QColor(232, 240, 226));
    painter.setRenderHint(QPainter::Antialiasing);

    // Nested contour rings, darker toward the summit.
    const QPointF summit(widthPx * 0.42, heightPx * 0.55);
    for (int ring = 5; ring >= 1; --ring) {
        const double rx = widthPx * 0.08 * ring;
        const double ry = heightPx * 0.09 * ring;
        const int shade = 90 + ring * 25;
        painter.setPen(QPen(QColor(140, 90, 40), 1.2));
        painter.setBrush(QColor(shade, 160 + ring * 12, shade - 40));
        painter.drawEllipse(summit + QPointF(ring * widthPx * 0.012, 0), rx, ry);
    }

    // A control point: a triangle with a centre dot.
    const QPointF mark(widthPx * 0.75, heightPx * 0.3);
    const double size = heightPx * 0.18;
    QPainterPath triangle;
    triangle.moveTo(mark + QPointF(0, -size));
    triangle.lineTo(mark + QPointF(size * 0.9, size * 0.6));
    triangle.lineTo(mark + QPointF(-size * 0.9, size * 0.6));
    triangle.closeSubpath();
    painter.setPen(QPen(QColor(180, 20, 20), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(triangle);
    painter.setBrush(QColor(180, 20, 20));
    painter.drawEllipse(mark, size * 0.15, size * 0.15);
}

QPixmap ProgramPixmap(int widthPx, int heightPx)
{
    QPixmap pixmap(widthPx, heightPx);
    QPainter painter(&pixmap);
    PaintProgramIcon(painter, widthPx, heightPx);
    return pixmap;
}

}  // namespace keldarn::app
