#pragma once

// What the viewer draws over the terrain: a scale bar, a north arrow and, for the
// demonstration terrain, a label saying so.

#include "earth/camera.h"
#include "earth/terrain.h"

#include <QImage>
#include <QRectF>
#include <QString>

namespace keldarn::earth {

// The scale bar's length: the largest of 1, 2, 5 × 10^k metres that fits in maxPx pixels
// at metresPerPixel, and its label ("500 米", "2 公里").
struct ScaleBar {
    double lengthM = 0.0;
    double lengthPx = 0.0;
    QString label;
};
ScaleBar ChooseScaleBar(double metresPerPixel, double maxPx);

// The direction of north on the screen at the focus point, in degrees clockwise from the
// top of the view.
double NorthOnScreenDeg(const Camera& camera);

// What each overlay took of the image, in image pixels: the bounding box of all that it
// painted, plate, strokes and letters; empty when it was not drawn.
struct OverlayRects {
    QRectF scaleBar;
    QRectF compass;
    QRectF terrainLabel;
};

OverlayRects DrawOverlays(QImage& image, const Camera& camera, const Terrain& terrain);

// The label of the demonstration terrain.
QString SyntheticTerrainLabel();

}  // namespace keldarn::earth
