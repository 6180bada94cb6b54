#include "earth/camera.h"
#include "earth/ray_caster.h"
#include "earth/synthetic_terrain.h"
#include "earth/terrain.h"
#include "terrain_fixtures.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace keldarn::earth {
namespace {

using testing::GridTerrain;

constexpr double kNorthDeg = 33.5;
constexpr double kWestDeg = 113.25;
constexpr double kStepDeg = 0.01;

// h = 100 + 2·column + 3·row: bilinear interpolation reproduces a plane exactly.
std::shared_ptr<const Terrain> PlaneTerrain()
{
    return GridTerrain(6, 5, kNorthDeg, kWestDeg, kStepDeg,
                       [](int c, int r) { return 100.0f + 2.0f * c + 3.0f * r; });
}

TEST(TerrainLookup, ReproducesAPlaneAnywhereInsideTheSamples)
{
    const auto terrain = PlaneTerrain();
    struct Case {
        double column, row;
    };
    for (const Case& k :
         {Case{0, 0}, Case{5, 4}, Case{2.5, 1.25}, Case{0.001, 3.999}, Case{4.75, 0.5}, Case{3, 2}}) {
        const double latDeg = kNorthDeg - k.row * kStepDeg;
        const double lonDeg = kWestDeg + k.column * kStepDeg;
        const auto h = terrain->ElevationM(latDeg, lonDeg);
        ASSERT_TRUE(h.has_value()) << k.column << "," << k.row;
        EXPECT_NEAR(*h, 100.0 + 2.0 * k.column + 3.0 * k.row, 1e-9) << k.column << "," << k.row;
    }
}

TEST(TerrainLookup, IsBilinearInsideACell)
{
    // h = 10·column·row is bilinear, so it is reproduced too, including the twist term.
    const auto terrain =
        GridTerrain(3, 3, kNorthDeg, kWestDeg, kStepDeg, [](int c, int r) { return 10.0f * c * r; });
    EXPECT_NEAR(*terrain->ElevationAtGridM(1.5, 1.5), 22.5, 1e-9);
    EXPECT_NEAR(*terrain->ElevationAtGridM(0.25, 1.8), 4.5, 1e-9);
}

TEST(TerrainLookup, EndsAtTheOutermostSamples)
{
    const auto terrain = PlaneTerrain();
    const double eps = 1e-6;  // 1e-4 of a cell, beyond the rounding allowance
    EXPECT_FALSE(terrain->ElevationM(kNorthDeg + eps, kWestDeg + 0.02));
    EXPECT_FALSE(terrain->ElevationM(terrain->SouthLatDeg() - eps, kWestDeg + 0.02));
    EXPECT_FALSE(terrain->ElevationM(kNorthDeg - 0.02, kWestDeg - eps));
    EXPECT_FALSE(terrain->ElevationM(kNorthDeg - 0.02, terrain->EastLonDeg() + eps));
    EXPECT_FALSE(terrain->ElevationM(NAN, kWestDeg + 0.02));
    EXPECT_FALSE(terrain->ElevationM(kNorthDeg - 0.02, NAN));
    EXPECT_TRUE(terrain->ElevationM(terrain->SouthLatDeg(), terrain->EastLonDeg()));
}

TEST(TerrainLookup, HoleSpoilsOnlyPointsThatWeighIt)
{
    // Sample (2, 2) has no data.
    const auto terrain = GridTerrain(5, 5, kNorthDeg, kWestDeg, kStepDeg,
                                     [](int c, int r) { return c == 2 && r == 2 ? NAN : 50.0f + c; });
    EXPECT_FALSE(terrain->ElevationAtGridM(1.5, 1.5));
    EXPECT_FALSE(terrain->ElevationAtGridM(2.0, 2.0));
    EXPECT_FALSE(terrain->ElevationAtGridM(2.9, 2.1));
    // On the samples and edges next to the hole the missing sample has no weight.
    EXPECT_NEAR(*terrain->ElevationAtGridM(1.0, 1.5), 51.0, 1e-9);
    EXPECT_NEAR(*terrain->ElevationAtGridM(3.0, 2.0), 53.0, 1e-9);
    EXPECT_NEAR(*terrain->ElevationAtGridM(1.5, 1.0), 51.5, 1e-9);
    EXPECT_NEAR(*terrain->ElevationAtGridM(3.5, 3.5), 53.5, 1e-9);
    EXPECT_DOUBLE_EQ(terrain->MinElevationM(), 50.0);
    EXPECT_DOUBLE_EQ(terrain->MaxElevationM(), 54.0);
}

TEST(TerrainLookup, EverySampleKeepsItsHeightBesideHoles)
{
    // A 3″ grid whose edges are not round numbers, so the grid coordinates of a sample's own
    // latitude and longitude are off by rounding; about a quarter of the samples are holes.
    std::mt19937 random(20240611);
    std::bernoulli_distribution isHole(0.25);
    std::uniform_real_distribution<float> heightM(50.0f, 400.0f);
    const auto terrain = GridTerrain(97, 83, 33.54321, 113.12345, 1.0 / 1200.0,
                                     [&](int, int) { return isHole(random) ? NAN : heightM(random); });
    int validCount = 0, wrongCount = 0;
    for (int r = 0; r < terrain->Grid().rows; ++r) {
        for (int c = 0; c < terrain->Grid().columns; ++c) {
            const float sampleM = terrain->SampleM(c, r);
            if (std::isnan(sampleM))
                continue;
            ++validCount;
            const auto h =
                terrain->ElevationM(terrain->LatitudeOfRowDeg(r), terrain->LongitudeOfColumnDeg(c));
            wrongCount += !h || std::fabs(*h - sampleM) > 1e-6;
        }
    }
    EXPECT_EQ(wrongCount, 0) << "of " << validCount << " samples with data";
}

TEST(TerrainLookup, LongitudesWrapAcrossTheAntimeridian)
{
    const auto terrain =
        GridTerrain(101, 11, 10.0, 179.5, kStepDeg, [](int c, int) { return static_cast<float>(c); });
    // -179.8° is 0.7° east of 179.5°, column 70.
    EXPECT_NEAR(*terrain->ElevationM(9.95, -179.8), 70.0, 1e-6);
    EXPECT_NEAR(*terrain->ElevationM(9.95, 180.0), 50.0, 1e-6);
    EXPECT_FALSE(terrain->ElevationM(9.95, -179.4));
}

TEST(TerrainStatistics, SlopeBoundMatchesThePlane)
{
    const auto terrain = PlaneTerrain();
    // 2 m per column and 3 m per row; the poleward row has the shortest columns.
    const double columnM = kStepDeg * MetresPerDegreeLon(kNorthDeg);
    const double rowM = kStepDeg * MetresPerDegreeLat(kNorthDeg - 2 * kStepDeg);
    EXPECT_NEAR(terrain->MaxSlope(), std::hypot(2.0 / columnM, 3.0 / rowM), 1e-6);
    EXPECT_NEAR(terrain->CellSizeM(), kStepDeg * MetresPerDegreeLon(kNorthDeg - 2 * kStepDeg), 1e-6);
}

TEST(TerrainStatistics, MetresPerDegreeFollowTheEllipsoid)
{
    // Against geodesic lengths of short arcs of a meridian and of a parallel.
    const auto& geodesic = GeographicLib::Geodesic::WGS84();
    for (double latDeg : {0.0, 33.27, 60.0, 89.0}) {
        double northM = 0.0, eastM = 0.0;
        geodesic.Inverse(latDeg - 0.0005, 113.0, latDeg + 0.0005, 113.0, northM);
        geodesic.Inverse(latDeg, 113.0, latDeg, 113.001, eastM);
        EXPECT_NEAR(MetresPerDegreeLat(latDeg), northM * 1000.0, 0.01) << latDeg;
        EXPECT_NEAR(MetresPerDegreeLon(latDeg), eastM * 1000.0, 0.01) << latDeg;
    }
}

TEST(TerrainConstruction, RejectsGridsWithoutData)
{
    EXPECT_THROW(GridTerrain(3, 3, kNorthDeg, kWestDeg, kStepDeg, [](int, int) { return NAN; }),
                 TerrainError);
    EXPECT_THROW(GridTerrain(1, 3, kNorthDeg, kWestDeg, kStepDeg, [](int, int) { return 1.0f; }),
                 TerrainError);
    EXPECT_THROW(GridTerrain(3, 3, kNorthDeg, kWestDeg, 0.0, [](int, int) { return 1.0f; }), TerrainError);
    try {
        GridTerrain(3, 3, kNorthDeg, kWestDeg, kStepDeg, [](int, int) { return NAN; });
    } catch (const TerrainError& error) {
        EXPECT_NE(std::string(error.what()).find("test grid"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("无数据"), std::string::npos);
    }
}

TEST(TerrainAnchor, ExistsEverywhere)
{
    const auto terrain = GridTerrain(5, 5, kNorthDeg, kWestDeg, kStepDeg,
                                     [](int c, int r) { return c >= 3 && r >= 3 ? NAN : 100.0f + c; });
    // Outside the grid the nearest edge point counts.
    EXPECT_NEAR(terrain->AnchorElevationM(kNorthDeg + 1.0, kWestDeg + 0.01), 101.0, 1e-9);
    EXPECT_NEAR(terrain->AnchorElevationM(kNorthDeg - 0.01, kWestDeg - 5.0), 100.0, 1e-9);
    // In the hole the middle of the range.
    EXPECT_NEAR(terrain->AnchorElevationM(kNorthDeg - 0.035, kWestDeg + 0.035), 102.0, 1e-9);
}

TEST(SyntheticTerrain, IsALabelledRepeatableHillCountryAroundTheDefaultView)
{
    const auto terrain = MakeSyntheticTerrain();
    EXPECT_TRUE(terrain->IsSynthetic());
    EXPECT_DOUBLE_EQ(terrain->Grid().stepLatDeg, 1.0 / 3600.0);
    EXPECT_LE(terrain->SouthLatDeg(), kSyntheticCentreLatDeg - 0.2);
    EXPECT_GE(terrain->NorthLatDeg(), kSyntheticCentreLatDeg + 0.2);
    EXPECT_LE(terrain->WestLonDeg(), kSyntheticCentreLonDeg - 0.2);
    EXPECT_GE(terrain->EastLonDeg(), kSyntheticCentreLonDeg + 0.2);
    EXPECT_GE(terrain->MinElevationM(), 50.0);
    EXPECT_LE(terrain->MaxElevationM(), 400.0);
    EXPECT_GT(terrain->MaxElevationM() - terrain->MinElevationM(), 250.0);
    EXPECT_EQ(terrain->Samples(), MakeSyntheticTerrain()->Samples());
}

TEST(SyntheticTerrain, DefaultViewAndWiderOnesStayOnTerrain)
{
    const auto terrain = MakeSyntheticTerrain();
    for (double rangeM : {3000.0, 24000.0}) {
        const Camera camera({kSyntheticCentreLatDeg, kSyntheticCentreLonDeg, 0.0, rangeM, 0.0, 0.0},
                            terrain->AnchorElevationM(kSyntheticCentreLatDeg, kSyntheticCentreLonDeg), 1280,
                            800);
        for (const auto& [sx, sy] :
             {std::pair{-1.0, -1.0}, std::pair{1.0, -1.0}, std::pair{-1.0, 1.0}, std::pair{1.0, 1.0}})
            EXPECT_TRUE(CastRay(*terrain, camera.RayThrough(sx, sy)).hit) << rangeM << " " << sx << "," << sy;
    }
}

}  // namespace
}  // namespace keldarn::earth
