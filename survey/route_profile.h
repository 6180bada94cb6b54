#pragma once

// The longitudinal profile (纵断面) of a route: chainage against height at every vertex and
// at every round chainage between them, with the survey grid coordinates of each point.
//
// Between two vertices the route follows the geodesic on WGS84. Chainage is counted from 0
// at the first vertex, either on the survey grid (so that it agrees with the route as drawn
// on the drawing) or along the ellipsoid.

#include "raster/elevation_source.h"
#include "survey/height_query.h"
#include "survey/survey_frame.h"
#include "survey/task_progress.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::survey {

enum class ChainageMeasure {
    // At a vertex: the sum of straight-line distances between successive vertices on the
    // survey grid (Gauss–Krüger on the frame's L0, then the four parameters, scale
    // included). Inside a segment the grid length is spread evenly along the geodesic.
    SurveyPlane,
    // The geodesic distance along the route on the WGS84 ellipsoid.
    Ellipsoid,
};

struct ProfileSample {
    double latDeg = 0.0;  // WGS84 latitude (degrees)
    double lonDeg = 0.0;  // WGS84 longitude (degrees)
    double chainageM = 0.0;
    double x = 0.0;                 // survey grid northing X′ (metres, after the four parameters)
    double y = 0.0;                 // survey grid easting Y′ (metres, with the false easting)
    std::optional<double> heightM;  // survey height H′ = DEM height + dH; nothing without terrain
    bool isVertex = false;
};

// The profile along `vertices` (WGS84, in route order): every vertex, and between two vertices
// a point at every multiple of intervalM (metres) of chainage strictly inside the segment. A
// multiple within 1 mm of a vertex's chainage is that vertex. Samples are in route order, so
// chainage never decreases. Consecutive identical vertices give a segment of zero length.
//
// Heights are asked in chunks; after each chunk `progress` (optional) gets the fraction done
// and a cancel there throws TaskCancelled.
//
// Throws SurveyInputError (a message for the user) for fewer than two vertices, an interval that is
// not a positive number, a vertex with a non-finite coordinate or a latitude beyond ±90°, and
// more than kMaxPlannedPoints samples (counted before anything is allocated).
// Errors of the height query (raster::RasterError) pass through.
std::vector<ProfileSample> SampleRoute(std::span<const geodesy::GeoPoint> vertices, double intervalM,
                                       const SurveyFrame& frame, ChainageMeasure measure,
                                       const HeightQuery& heights, TaskProgress* progress = nullptr);

// Chainage (metres) in the road surveyor's form: kilometres, "+", metres with three integer
// digits and three decimals: 12345.678 → "K12+345.678", −12.5 → "-K0+012.500". Rounded to the
// millimetre from the exact value of the double, so 999.9996 → "K1+000.000". Empty for a
// value that is not finite.
std::string ChainageName(double chainageM);

// Chainage (metres) from "K1+250.5" (K in either case; metres below 1000), or a plain number of
// metres "1250.5"; either with an optional leading "-" and surrounding blanks. Nothing for
// anything else.
std::optional<double> ParseChainage(std::string_view text);

// A profile sample as a row of the point table.
struct ProfileRow {
    std::string name;         // ChainageName of the chainage with the start added
    std::string description;  // the route's name
    double x = 0.0;           // survey grid northing X′ (metres)
    double y = 0.0;           // survey grid easting Y′ (metres)
    double h = 0.0;           // survey height H′ (metres)
};

// The samples with a height as table rows; the chainage of the first vertex becomes
// startChainageM (metres). The number of samples left out for want of a height goes to
// *skipped when skipped is not null.
std::vector<ProfileRow> ProfileRows(std::span<const ProfileSample> samples, std::string_view routeName,
                                    double startChainageM, std::size_t* skipped);

}  // namespace keldarn::survey
