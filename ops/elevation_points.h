#pragma once

// 高程点到CAD图形: the point table's rows as elevation points in a drawing, on layer 高程点,
// each labelled with its height to the centimetre. The window draws its table into its
// drawing window; keldarn-cli points2dxf draws a point file into a new drawing.

#include "cad/drawing_model.h"
#include "cad/terrain_drawing.h"
#include "points/point_table_model.h"

#include <cstddef>
#include <string>
#include <vector>

namespace keldarn::ops {

// Decimals of the height labels.
inline constexpr int kElevationLabelDecimals = 2;

struct ElevationPoints {
    std::vector<cad::ElevationPointEntry> entries;  // the rows whose X, Y and H read as numbers
    std::size_t unreadable = 0;                     // rows where one of them does not
};

// The table's data rows, top to bottom (X the northing, Y the easting, H, metres).
ElevationPoints ElevationPointsOf(const points::PointTableModel& table);

// The entries into `model` at the program's text height for its LTSCALE.
void DrawElevationPointsInto(cad::DrawingModel& model, const ElevationPoints& points);

// What the user is told (interface language): no row to draw, or the points drawn.
std::string NoElevationPointsMessage();
std::string ElevationPointsSummary(const ElevationPoints& points);

}  // namespace keldarn::ops
