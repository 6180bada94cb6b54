#pragma once

// The user's data drawn over a frame of the terrain view: the point table's points and the
// placemarks of KML files as markers with labels, and KML paths and polygon outlines as
// lines draped over the ground.
//
// Pixel convention: a point of the view is given in the image's (QPainter's) coordinates,
// x to the right and y down, where pixel (x, y) covers [x, x + 1) × [y, y + 1) and its centre
// (x + 0.5, y + 0.5) shows the normalised view point sx = 2x/w − 1, sy = 1 − 2y/h, the
// point that the renderer samples for that pixel (rasterizer.h) and that a pick there casts
// its ray through. So a view point lies in pixel (floor(x), floor(y)).

#include "earth/camera.h"
#include "geodesy/coordinates.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace keldarn::earth {

struct MapMarker {
    double latDeg = 0, lonDeg = 0;  // WGS84
    QString name;                   // label; may be empty
    bool selected = false;          // drawn highlighted (larger, another colour), always labelled, on top
};

// A path or, when closed, a ring: the last vertex joins the first (it is not repeated).
struct MapPolyline {
    geodesy::GeoRing vertices;  // WGS84
    bool closed = false;
};

// One layer of the map: the table's points, or one KML file. Drawing caches what it derives
// from a layer (label widths, bounding boxes) for as long as the layer lives, so a layer
// must not change once it is drawn; a changed layer is a new object.
struct MapLayer {
    QString name;  // e.g. the file name
    std::vector<MapMarker> markers;
    std::vector<MapPolyline> lines;
    QColor colour;         // markers and lines
    bool labelled = true;  // markers named beside them; a selected marker always is
};

// Where the ground is: the elevation (metres above the ellipsoid, as the terrain grid holds
// it) at a point, or nothing. Drawing calls it from several threads at once for large
// layers; it must not throw.
using GroundHeight = std::function<std::optional<double>(double latDeg, double lonDeg)>;

// Per-pixel depth of the frame the layers are drawn on: 1/z (camera-space forward distance,
// metres) of the drawn surface, 0 = nothing; widthPx × heightPx row-major, as
// SurfaceBuffers::invDepth. invDepth may be null (no occlusion test).
struct FrameDepth {
    int widthPx = 0, heightPx = 0;
    const std::vector<float>* invDepth = nullptr;
};

// A label that was drawn: the marker (indices into the layers and their markers) and the
// label's plate in image coordinates.
struct DrawnLabel {
    int layer = 0;
    int marker = 0;
    QRectF platePx;
};

// What a call drew, for the viewer's status and for checks.
struct MapLayersDrawn {
    int markers = 0;
    int segments = 0;  // screen segments of lines, after draping and simplification
    std::vector<DrawnLabel> labels;
};

// Draws the layers, bottom to top (a null one draws nothing), onto `frame`, which the camera
// made (same size). Markers sit on the ground (height 0 where `ground` has none, or when it
// is empty); a marker or line vertex hidden behind the surface of `depth` is not drawn, and a
// line is drawn up to where it goes behind the ground. Lines are draped: long segments are
// cut so that they follow the ground, within a budget per frame, and lines are simplified to
// half a pixel (a line smaller than about a pixel is a dot). Every visible marker is drawn, labelled or not,
// the selected ones on top; labels (13 px, on a plate) are thinned by their density on the screen: each
// keeps clear room about its plate (a plate's height at its sides, half of it above and below) that no
// other label's room takes, so that however dense the points, labels of a few characters cover at most
// about a quarter of the frame. The selected markers' labels go first, then the others in layer and
// marker order. A layer that is not `labelled` shows its markers without names.
MapLayersDrawn DrawMapLayers(QImage& frame, const Camera& camera, const FrameDepth& depth,
                             const GroundHeight& ground,
                             const std::vector<std::shared_ptr<const MapLayer>>& layers);

// Where a point at latDeg, lonDeg (degrees, WGS84) and groundM (metres above the ellipsoid)
// appears in a frame of the camera, in image coordinates (see the top of this file), or
// nothing when it is off the frame or not in front of the camera's near plane.
std::optional<QPointF> MarkerPixel(const Camera& camera, double latDeg, double lonDeg, double groundM);

}  // namespace keldarn::earth
