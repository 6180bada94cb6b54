#pragma once

// Which part of the drawing a canvas shows: the drawing point at the canvas centre and
// the scale. Drawing y grows upwards (north), screen y downwards.

#include "cad/drawing_model.h"

#include <QPointF>

namespace keldarn::cad {

class DrawingView {
public:
    void SetCanvasSize(int widthPx, int heightPx);
    int WidthPx() const { return widthPx_; }
    int HeightPx() const { return heightPx_; }

    double CenterX() const { return centerX_; }
    double CenterY() const { return centerY_; }
    double PixelsPerMetre() const { return pixelsPerMetre_; }
    void SetCenter(double x, double y);
    // Clamped to a range in which screen positions stay well inside QPainter's coordinates.
    void SetPixelsPerMetre(double pixelsPerMetre);

    QPointF ToScreen(double x, double y) const
    {
        return {(x - centerX_) * pixelsPerMetre_ + widthPx_ / 2.0,
                (centerY_ - y) * pixelsPerMetre_ + heightPx_ / 2.0};
    }
    DrawingXY ToDrawing(QPointF screen) const;
    // The drawing area the canvas shows.
    DrawingBox VisibleBox() const;

    // Zooms by `factor` (> 1 magnifies) keeping the drawing point under `screen` in place.
    void ZoomAbout(QPointF screen, double factor);
    // Moves the drawing with the mouse by a screen distance.
    void PanBy(QPointF deltaPx);
    // Shows all of `box` with a margin of marginFraction of the canvas on every side. An
    // empty box leaves the view as it is; a single point is shown at 1 pixel per metre.
    void Fit(const DrawingBox& box, double marginFraction = 0.05);

private:
    int widthPx_ = 1;
    int heightPx_ = 1;
    double centerX_ = 0.0;
    double centerY_ = 0.0;
    double pixelsPerMetre_ = 1.0;
};

}  // namespace keldarn::cad
