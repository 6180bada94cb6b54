#pragma once

// Terrain products in the drawing: contour lines on the layers 首曲线 (ordinary) and 计曲线
// (index, labelled with their heights), and elevation points with their heights on layer
// 高程点. Coordinates are drawing units, metres: x the easting, y the northing, heights
// in the survey's vertical datum. The layers are added with their colours and line weights
// unless the drawing has them already (the user's settings of an earlier run stay).
//
// The model is changed directly: a window showing it learns of the change through
// DrawingDocument::ModelChanged().

#include "cad/drawing_model.h"

#include <span>

namespace keldarn::cad {

inline constexpr const char* kOrdinaryContourLayer = "首曲线";
inline constexpr const char* kIndexContourLayer = "计曲线";
inline constexpr const char* kElevationPointLayer = "高程点";

// The height (drawing units, metres) of the texts the program writes into a drawing: the
// names of a KML drawn into it and the labels of terrain products, three units at a linetype
// scale (LTSCALE) of 1.
inline double ProgramTextHeight(double ltScale)
{
    return 3.0 * ltScale;
}

struct ContourPolyline {
    double elevationM = 0.0;
    bool isIndex = false;
    std::span<const double>
        xy;  // x0, y0, x1, y1, ... (metres); lines of fewer than two vertices are left out
};

// Each line as an open polyline at its elevation (DXF group 38). Index contours carry labels
// of their height ("105", "12.5") centred on the line, turned along it and kept upright
// (rotation within ±90°), one for every 200 × labelHeightM of length, spread evenly, and
// one on a shorter line that is at least three label widths long. labelHeightM in metres; a
// height that is not positive, or that would put 100 000 labels on a line, draws none.
void DrawContours(DrawingModel& model, std::span<const ContourPolyline> lines, double labelHeightM);

struct ElevationPointEntry {
    double x = 0.0;  // easting, metres
    double y = 0.0;  // northing, metres
    double h = 0.0;  // height, metres
};

// Each entry as a point at Z = h with its height to `decimals` places (0 to 6) to the right
// of it, as on a topographic map: left/baseline at half a text height right of the point
// and half a height below it, so that the digits stand level with the dot; z = h.
// textHeightM > 0 (metres).
void DrawElevationPoints(DrawingModel& model, std::span<const ElevationPointEntry> points, int decimals,
                         double textHeightM);

}  // namespace keldarn::cad
