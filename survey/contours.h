#pragma once

// Contour lines of a DEM inside an area, on the survey grid: GDAL's contour generator runs
// over the DEM at full resolution in the DEM's own CRS, the lines are clipped to the area
// there, and every vertex is carried to the survey grid through WGS84, the Gauss–Krüger zone
// and the four parameters. Levels are round in survey heights (H′ = H + dH), not in the
// DEM's. No Qt.

#include "raster/elevation_source.h"
#include "survey/survey_frame.h"
#include "survey/task_progress.h"

#include <vector>

namespace keldarn::survey {

struct ContourLine {
    double elevationM = 0.0;  // survey height H′ = DEM level + dH, a whole multiple of the interval
    bool isIndex = false;     // every fifth level: H′ a whole multiple of 5 × the interval
    // Drawing coordinates x0, y0, x1, y1, ... in metres: x is the survey easting Y′, y the
    // survey northing X′. A contour cut by the area's edge comes as several lines.
    std::vector<double> xy;
};

// Contours every intervalM metres (finite, > 0) of band 1 of the DEM at demPath (anything
// raster::ElevationSource opens: a file, a folder or zip of tiles, a GDAL /vsi path, an
// http(s) address) inside areaRings, WGS84 rings of latitude/longitude (degrees): the first is
// the outer boundary, further ones are holes (even–odd rule). Edges of the rings are straight
// in latitude/longitude.
//
// Vertices lie where the DEM's cell-centre grid crosses a level, heights interpolated linearly
// between neighbouring cell centres (the bilinear surface of ElevationSource along those
// lines), and where a line meets the area's edge. Contours stop at voids (no-data, NaN, masked
// cells) and at the DEM's edge; the part of an area beyond the DEM simply has none.
//
// progress (optional) goes from 0 to 1; once its cancel flag is set the work stops and throws
// TaskCancelled.
//
// Throws SurveyInputError (a message for the user) for an interval that is not a positive number, an
// area of fewer than three vertices or with non-finite coordinates, an area entirely off the
// DEM or over voids only, an area of more than kMaxContourWindowCells DEM cells, or contours of more than
// kMaxPlannedPoints vertices (counted before any line is made);
// raster::RasterError when the DEM cannot be read (message naming the file and the reason).
std::vector<ContourLine> GenerateContours(const std::string& demPath,
                                          const std::vector<geodesy::GeoRing>& areaRings, double intervalM,
                                          const SurveyFrame& frame, TaskProgress* progress = nullptr);

// Largest DEM window (cells) that GenerateContours reads: its heights are held as floats,
// 400 MB at this bound, besides what the contour generator holds.
inline constexpr long long kMaxContourWindowCells = 100'000'000;

}  // namespace keldarn::survey
