#include "cad/drawing_view.h"

#include <algorithm>
#include <cmath>

namespace keldarn::cad {

namespace {

// From a whole country on one pixel to a millimetre over a hundred pixels.
constexpr double kMinPixelsPerMetre = 1e-7;
constexpr double kMaxPixelsPerMetre = 1e5;

}  // namespace

void DrawingView::SetCanvasSize(int widthPx, int heightPx)
{
    widthPx_ = std::max(1, widthPx);
    heightPx_ = std::max(1, heightPx);
}

void DrawingView::SetCenter(double x, double y)
{
    centerX_ = x;
    centerY_ = y;
}

void DrawingView::SetPixelsPerMetre(double pixelsPerMetre)
{
    if (std::isfinite(pixelsPerMetre))
        pixelsPerMetre_ = std::clamp(pixelsPerMetre, kMinPixelsPerMetre, kMaxPixelsPerMetre);
}

DrawingXY DrawingView::ToDrawing(QPointF screen) const
{
    return {centerX_ + (screen.x() - widthPx_ / 2.0) / pixelsPerMetre_,
            centerY_ - (screen.y() - heightPx_ / 2.0) / pixelsPerMetre_};
}

DrawingBox DrawingView::VisibleBox() const
{
    DrawingBox box;
    const DrawingXY topLeft = ToDrawing({0.0, 0.0});
    const DrawingXY bottomRight = ToDrawing({static_cast<double>(widthPx_), static_cast<double>(heightPx_)});
    box.Add(topLeft.x, topLeft.y);
    box.Add(bottomRight.x, bottomRight.y);
    return box;
}

void DrawingView::ZoomAbout(QPointF screen, double factor)
{
    const DrawingXY fixed = ToDrawing(screen);
    SetPixelsPerMetre(pixelsPerMetre_ * factor);
    // Put the fixed drawing point back under the screen position.
    centerX_ = fixed.x - (screen.x() - widthPx_ / 2.0) / pixelsPerMetre_;
    centerY_ = fixed.y + (screen.y() - heightPx_ / 2.0) / pixelsPerMetre_;
}

void DrawingView::PanBy(QPointF deltaPx)
{
    centerX_ -= deltaPx.x() / pixelsPerMetre_;
    centerY_ += deltaPx.y() / pixelsPerMetre_;
}

void DrawingView::Fit(const DrawingBox& box, double marginFraction)
{
    if (box.IsEmpty())
        return;
    centerX_ = (box.minX + box.maxX) / 2;
    centerY_ = (box.minY + box.maxY) / 2;
    const double usable = 1.0 - 2.0 * marginFraction;
    const double widthM = box.maxX - box.minX;
    const double heightM = box.maxY - box.minY;
    double scale = std::numeric_limits<double>::infinity();
    if (widthM > 0.0)
        scale = std::min(scale, widthPx_ * usable / widthM);
    if (heightM > 0.0)
        scale = std::min(scale, heightPx_ * usable / heightM);
    SetPixelsPerMetre(std::isfinite(scale) ? scale : 1.0);
}

}  // namespace keldarn::cad
