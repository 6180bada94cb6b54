#include "earth/view_overlays.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keldarn::earth {

namespace {

QFont OverlayFont(int pixelSize)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    return font;
}

// A rounded, half-transparent plate that keeps text readable on any terrain.
void DrawPlate(QPainter& painter, const QRectF& rect)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 190));
    painter.drawRoundedRect(rect, 4, 4);
}

// Bottom left, above the readout line that the viewer widget draws over the lowest 22 px.
// The plate holds the bar and its label whichever is longer; where the view has no room for
// it, no bar is drawn rather than a cut one.
QRectF DrawScaleBar(QPainter& painter, const Camera& camera)
{
    const ScaleBar bar =
        ChooseScaleBar(camera.MetresPerPixelAtFocus(), std::min(160.0, 0.3 * camera.WidthPx()));
    if (bar.lengthPx < 1.0)
        return {};
    const QFontMetricsF metrics(painter.font());
    const double left = 12.0, baseline = camera.HeightPx() - 34.0;
    const QRectF plate(left - 6, baseline - metrics.height() - 10,
                       std::max(bar.lengthPx, metrics.horizontalAdvance(bar.label)) + 12 + 4,
                       metrics.height() + 18);
    if (!QRectF(0, 0, camera.WidthPx(), camera.HeightPx()).contains(plate))
        return {};
    DrawPlate(painter, plate);
    painter.setPen(QPen(QColor(30, 30, 30), 2));
    painter.drawLine(QPointF(left, baseline), QPointF(left + bar.lengthPx, baseline));
    painter.drawLine(QPointF(left, baseline - 5), QPointF(left, baseline + 1));
    painter.drawLine(QPointF(left + bar.lengthPx, baseline - 5), QPointF(left + bar.lengthPx, baseline + 1));
    painter.drawText(QPointF(left, baseline - 7), bar.label);
    return plate;
}

// Top right. The letter circles the ring as north turns on the screen, so the compass keeps
// room for it on every side: at no azimuth or tilt is it cut by the edge of the view.
QRectF DrawNorthArrow(QPainter& painter, const Camera& camera)
{
    constexpr double kRadius = 22.0, kMargin = 4.0;
    const QString letter = QCoreApplication::translate("earth", "北");
    const QFontMetricsF metrics(painter.font());
    const QSizeF letterBox(std::max(20.0, metrics.horizontalAdvance(letter) + 4),
                           std::max(18.0, metrics.height()));
    const double orbit = kRadius + 9.0;  // from the centre to the letter's
    const QPointF centre(camera.WidthPx() - kMargin - orbit - 0.5 * letterBox.width(),
                         kMargin + orbit + 0.5 * letterBox.height());
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(255, 255, 255, 190));
    painter.drawEllipse(centre, kRadius, kRadius);
    painter.save();
    painter.translate(centre);
    painter.rotate(NorthOnScreenDeg(camera));  // QPainter turns clockwise on screen
    QPainterPath north, south;
    north.moveTo(0, -kRadius + 4);
    north.lineTo(6, 0);
    north.lineTo(-6, 0);
    north.closeSubpath();
    south.moveTo(0, kRadius - 4);
    south.lineTo(6, 0);
    south.lineTo(-6, 0);
    south.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.fillPath(north, QColor(200, 30, 30));
    painter.fillPath(south, QColor(90, 90, 90));
    painter.restore();
    // The letter stays upright, outside the ring in the arrow's direction.
    const double angle = NorthOnScreenDeg(camera) * std::numbers::pi / 180.0;
    const QPointF tip = centre + QPointF(std::sin(angle), -std::cos(angle)) * orbit;
    const QRectF letterRect(tip - QPointF(0.5 * letterBox.width(), 0.5 * letterBox.height()), letterBox);
    painter.setPen(QColor(20, 20, 20));
    painter.drawText(letterRect, Qt::AlignCenter, letter);
    return QRectF(centre - QPointF(kRadius + 0.5, kRadius + 0.5), QSizeF(2 * kRadius + 1, 2 * kRadius + 1))
        .united(letterRect);
}

QRectF DrawSyntheticLabel(QPainter& painter)
{
    const QString text = SyntheticTerrainLabel();
    const QFontMetrics metrics(painter.font());
    const QRectF box(10, 10, metrics.horizontalAdvance(text) + 16, metrics.height() + 8);
    DrawPlate(painter, box);
    painter.setPen(QColor(150, 40, 20));
    painter.drawText(box, Qt::AlignCenter, text);
    return box;
}

}  // namespace

ScaleBar ChooseScaleBar(double metresPerPixel, double maxPx)
{
    ScaleBar bar;
    if (!(metresPerPixel > 0.0) || !(maxPx > 0.0))
        return bar;
    const double maxM = metresPerPixel * maxPx;
    const double decade = std::pow(10.0, std::floor(std::log10(maxM)));
    for (double step : {5.0, 2.0, 1.0}) {
        if (step * decade <= maxM) {
            bar.lengthM = step * decade;
            break;
        }
    }
    bar.lengthPx = bar.lengthM / metresPerPixel;
    bar.label = bar.lengthM >= 1000.0
                    ? QCoreApplication::translate("earth", "%1 公里").arg(bar.lengthM / 1000.0)
                    : QCoreApplication::translate("earth", "%1 米").arg(bar.lengthM);
    return bar;
}

double NorthOnScreenDeg(const Camera& camera)
{
    const LookAt& lookAt = camera.lookAt();
    const Vec3 north = LocalFrameAt(lookAt.latDeg, lookAt.lonDeg).north;
    const auto focus = camera.Project(camera.Focus());
    const auto ahead = camera.Project(camera.Focus() + north * (0.01 * lookAt.rangeM));
    if (focus && ahead) {
        // Screen coordinates grow upwards; scale by the aspect to get pixel directions.
        const double dx = (ahead->sx - focus->sx) * camera.WidthPx();
        const double dy = (ahead->sy - focus->sy) * camera.HeightPx();
        if (std::hypot(dx, dy) > 1e-9)
            return std::atan2(dx, dy) * 180.0 / std::numbers::pi;
    }
    return -lookAt.azimuthDeg;
}

QString SyntheticTerrainLabel()
{
    return QCoreApplication::translate("earth", "合成演示地形（非真实高程）");
}

OverlayRects DrawOverlays(QImage& image, const Camera& camera, const Terrain& terrain)
{
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(OverlayFont(13));
    OverlayRects drawn;
    drawn.scaleBar = DrawScaleBar(painter, camera);
    drawn.compass = DrawNorthArrow(painter, camera);
    if (terrain.IsSynthetic())
        drawn.terrainLabel = DrawSyntheticLabel(painter);
    return drawn;
}

}  // namespace keldarn::earth
