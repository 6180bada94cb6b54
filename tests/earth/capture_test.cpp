// Geometry of a pick and of the automatic sampling grid.

#include "earth/grid_sampling.h"
#include "earth/screen_coords.h"
#include "geodesy/gauss_kruger.h"

#include <gtest/gtest.h>

namespace keldarn::earth {
namespace {

TEST(ScreenCoords, MapsPixelsOfTheRenderWindow)
{
    const struct {
        double x, y, w, h, sx, sy;
    } cases[] = {
        {200, 150, 800, 600, -0.5, 0.5},                     // halfway to the top-left corner
        {400, 300, 800, 600, 0.0, 0.0},                      // centre
        {0, 0, 800, 600, -1.0, 1.0},                         // top-left pixel
        {799, 599, 800, 600, 1.0 - 2.0 / 800, -1.0 + 2.0 / 600},  // bottom-right pixel
        {800, 600, 800, 600, 1.0, -1.0},                     // outer bottom-right edge
    };
    for (const auto& c : cases) {
        const ScreenPoint s = NormalizedFromPixel(c.x, c.y, c.w, c.h);
        EXPECT_DOUBLE_EQ(s.sx, c.sx) << c.x << "," << c.y;
        EXPECT_DOUBLE_EQ(s.sy, c.sy) << c.x << "," << c.y;
    }
}

TEST(SamplingGrid, CountsPointsFromTheDisplayedSpans)
{
    EXPECT_EQ(EstimatePointCount(1000, 1500, 50), 651);
    EXPECT_EQ(MakeSamplingGrid(1000, 1500, 50).PointCount(), 651);
    // Spans are whole metres as shown: 999 m with 50 m spacing is 19 intervals, not 20.
    const SamplingGrid grid = MakeSamplingGrid(999, 1500, 50);
    EXPECT_EQ(grid.nV, 19);
    EXPECT_EQ(grid.nW, 30);
    // A span smaller than the spacing still has its single row in the estimate.
    EXPECT_EQ(EstimatePointCount(30, 1500, 50), 31);
}

TEST(SamplingGrid, RunsFromBottomLeftToTopRightWithBothEdges)
{
    const SamplingGrid grid{1, 1};
    const ScreenPoint expected[] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    int k = 0;
    for (std::int64_t i = 0; i <= grid.nV; ++i)
        for (std::int64_t j = 0; j <= grid.nW; ++j, ++k) {
            EXPECT_EQ(grid.PointAt(i, j).sx, expected[k].sx);
            EXPECT_EQ(grid.PointAt(i, j).sy, expected[k].sy);
        }
    const SamplingGrid wide{20, 30};
    EXPECT_EQ(wide.PointAt(7, 0).sy, wide.PointAt(7, 30).sy);
    EXPECT_DOUBLE_EQ(wide.PointAt(10, 15).sx, 0.0);
    EXPECT_DOUBLE_EQ(wide.PointAt(10, 15).sy, 0.0);
}

TEST(SamplingGrid, RefusesGridsThatCannotBeFormed)
{
    for (double spacing : {0.0, -5.0})
        EXPECT_THROW(MakeSamplingGrid(1000, 1000, spacing), SamplingGridError) << spacing;
    EXPECT_THROW(EstimatePointCount(1000, 1000, 0.0), SamplingGridError);
    EXPECT_THROW(MakeSamplingGrid(40, 1000, 50), SamplingGridError);    // no vertical interval
    EXPECT_THROW(MakeSamplingGrid(1000, 40, 50), SamplingGridError);    // no horizontal interval
    EXPECT_THROW(MakeSamplingGrid(-1000, 1000, 50), SamplingGridError); // view turned upside down
    EXPECT_THROW(MakeSamplingGrid(1e6, 1e6, 0.001), SamplingGridError); // far too many points
    EXPECT_THROW(EstimatePointCount(1e300, 1, 1e-300), SamplingGridError);
}

TEST(ViewSpans, MeasuresOnTheCentreMeridian)
{
    // A view 0.01° tall and 0.02° wide around 33.27 N: about 1109 m by 1862 m.
    const double lat = 33.27, lon = 113.55;
    const ViewSpans spans =
        MeasureViewSpans({.latDeg = lat, .lonDeg = lon - 0.01}, {.latDeg = lat, .lonDeg = lon + 0.01},
                         {.latDeg = lat - 0.005, .lonDeg = lon}, {.latDeg = lat + 0.005, .lonDeg = lon}, lon);
    EXPECT_NEAR(spans.spanVM, geodesy::GaussForward(lat + 0.005, 0).x - geodesy::GaussForward(lat - 0.005, 0).x,
                1e-9);
    EXPECT_NEAR(spans.spanVM, 1109.0, 2.0);
    EXPECT_NEAR(spans.spanWM, 1862.0, 2.0);
}

}  // namespace
}  // namespace keldarn::earth
