#pragma once

// 纵断面: the profile of a route on the terrain, and its samples as point table rows. The
// window runs it as a SurveyTask and shows the chart; keldarn-cli profile writes the rows or
// the chart.

#include "points/point_table_model.h"
#include "geodesy/coordinates.h"
#include "survey/height_query.h"
#include "survey/route_profile.h"
#include "survey/survey_frame.h"
#include "survey/task_progress.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace keldarn::ops {

struct ProfileRequest {
    geodesy::GeoRing routeVertices;  // WGS84, in route order; see RouteVertices
    double intervalM = 0.0;                       // chainage between samples (metres, > 0)
    survey::SurveyFrame frame;
    survey::ChainageMeasure measure = survey::ChainageMeasure::SurveyPlane;
    survey::HeightQuery heights;  // the terrain's heights at full resolution
};

struct ProfileResult {
    std::vector<survey::ProfileSample> samples;  // in order of chainage
};

// The route's vertices (WGS84). Throws SurveyInputError for fewer than two, before any work
// starts.
geodesy::GeoRing RouteVertices(geodesy::GeoRing line);

// The same from survey grid points through the frame, as a polyline drawn in the drawing
// (height 0 for the datum shift).
geodesy::GeoRing RouteVerticesFromGrid(std::span<const geodesy::PlanePoint> gridPoints,
                                       const survey::SurveyFrame& frame);

// Samples the route (see survey::SampleRoute); progress may be null. Throws as SampleRoute.
ProfileResult RunProfile(const ProfileRequest& request, survey::TaskProgress* progress);

// The samples as the point table takes them: name = chainage (from startChainageM at the
// first vertex), description = the route's name, X, Y, H to the millimetre.
struct ProfileTableRows {
    std::vector<points::RowCells> cells;
    std::size_t skipped = 0;  // samples without terrain, left out
};
ProfileTableRows ProfileRowsForTable(std::span<const survey::ProfileSample> samples,
                                     const std::string& routeName, double startChainageM);

// "有%1个点没有地形数据，未加入。" when samples were left out, else empty (interface language).
std::string SkippedSamplesNote(const ProfileTableRows& rows);
// What the window says once the rows are in the table (interface language).
std::string ProfileRowsSummary(const ProfileTableRows& rows);

}  // namespace keldarn::ops
