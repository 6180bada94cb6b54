#pragma once

// Where a batch sampling run takes its points: a grid of round coordinates on the survey
// grid (X and Y multiples of the spacing, after the four parameters), inside an area given
// by latitude and longitude or by a boundary on the survey grid, row by row from north to
// south and west to east in each row. The rows split into disjoint shares for runs on
// several machines.

#include "survey/height_query.h"
#include "survey/survey_frame.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace keldarn::survey {

// A grid point and where it lies on the ellipsoid.
struct PlannedPoint {
    double x = 0.0;  // survey grid northing (metres)
    double y = 0.0;  // survey grid easting (metres)
    double latDeg = 0.0;
    double lonDeg = 0.0;
};

// Points go between the survey grid and WGS84 through the frame.
class SamplePlan {
public:
    // The grid inside a latitude/longitude box.
    static SamplePlan ForGeoBox(const geodesy::GeoBox& box, double spacingM, const SurveyFrame& frame);
    // The grid inside closed rings of WGS84 points, by the even–odd rule in longitude and
    // latitude: a ring inside another is a hole.
    static SamplePlan ForGeoRings(std::vector<geodesy::GeoRing> rings, double spacingM,
                                  const SurveyFrame& frame);
    // The grid inside a closed boundary of survey grid points (X northing, Y easting).
    static SamplePlan ForBoundary(std::vector<geodesy::PlanePoint> boundary, double spacingM,
                                  const SurveyFrame& frame);

    // Rows (constant X, north first) and columns (constant Y, west first) of the grid
    // around the area; an upper bound of the points inside.
    std::int64_t RowCount() const { return rows_; }
    std::int64_t ColumnCount() const { return columns_; }
    std::int64_t CandidateCount() const { return rows_ * columns_; }

    // Rows [begin, end) of share `part` (0-based) of `parts`: contiguous bands, so the
    // shares in order are the whole run in order.
    std::pair<std::int64_t, std::int64_t> PartRows(int part, int parts) const;

    const SurveyFrame& Frame() const { return frame_; }

    // The points of one row inside the area, west to east, appended to `points`; their
    // latitude and longitude are those of height 0.
    void RowPoints(std::int64_t row, std::vector<PlannedPoint>& points) const;

    // The terrain heights of the points (metres, as the DEM gives them) into heightsM, one
    // each or nothing over no terrain. With a datum shift a grid point's latitude and
    // longitude depend on its height (centimetres at 3000 m): each point found is moved to
    // where its height puts it, and its height is read there. May throw what heights throws.
    void QueryHeights(std::vector<PlannedPoint>& points, const HeightQuery& heights,
                      std::vector<std::optional<double>>& heightsM) const;

private:
    SamplePlan(double spacingM, const SurveyFrame& frame, double minX, double maxX, double minY, double maxY);
    bool Inside(const PlannedPoint& point) const;

    double spacingM_;
    SurveyFrame frame_;
    std::int64_t topIndex_ = 0;   // X of row 0 is topIndex_ · spacing
    std::int64_t leftIndex_ = 0;  // Y of column 0 is leftIndex_ · spacing
    std::int64_t rows_ = 0;
    std::int64_t columns_ = 0;
    std::vector<geodesy::GeoRing> geoRings_;
    std::vector<std::vector<geodesy::PlanePoint>> boundary_;  // one ring of survey grid points
};

}  // namespace keldarn::survey
