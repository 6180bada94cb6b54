#pragma once

// 等高线到CAD图形: contour lines of the terrain inside an area, drawn into a drawing on the
// layers 首曲线 and 计曲线. The window runs it as a SurveyTask into its drawing window;
// keldarn-cli contours draws into a new drawing and saves it.

#include "cad/drawing_model.h"
#include "geodesy/coordinates.h"
#include "survey/contours.h"
#include "survey/survey_frame.h"
#include "survey/task_progress.h"

#include <cstddef>
#include <string>
#include <vector>

namespace keldarn::ops {

// WGS84 rings: the outer boundary first, then holes.
using AreaRings = std::vector<geodesy::GeoRing>;

// A box of latitudes and longitudes as an area.
AreaRings AreaOfBox(const geodesy::GeoBox& box);
// Rings as an area; throws SurveyInputError for rings that bound nothing or cross
// (survey::CheckBoundary).
AreaRings AreaOfRings(const std::vector<geodesy::GeoRing>& rings);

struct ContoursRequest {
    std::string terrainPath;  // the DEM, anything raster::ElevationSource opens (UTF-8)
    AreaRings area;
    double intervalM = 0.0;  // contour interval (metres, > 0)
    survey::SurveyFrame frame;
};

struct ContoursResult {
    std::vector<survey::ContourLine> lines;
    std::size_t indexLines = 0;  // of them, index contours (计曲线)
};

// See survey::GenerateContours, whose errors pass through; progress may be null.
ContoursResult RunContours(const ContoursRequest& request, survey::TaskProgress* progress);

// The lines into `model`, labels at the program's text height for its LTSCALE.
void DrawContoursInto(cad::DrawingModel& model, const ContoursResult& result);

// What the user is told (interface language): no line at all, or the lines drawn in
// `seconds` of work.
std::string NoContoursMessage();
std::string ContoursSummary(const ContoursResult& result, double seconds);

}  // namespace keldarn::ops
