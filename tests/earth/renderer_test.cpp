#include "earth/ray_caster.h"
#include "earth/synthetic_terrain.h"
#include "earth/terrain_lod.h"
#include "earth/terrain_renderer.h"
#include "earth/terrain_scene.h"
#include "earth/terrain_view.h"
#include "earth/view_overlays.h"
#include "terrain_fixtures.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace keldarn::earth {
namespace {

std::shared_ptr<const Terrain> Synthetic()
{
    static const auto terrain = MakeSyntheticTerrain();
    return terrain;
}

Camera CameraOver(const Terrain& terrain, const LookAt& lookAt, int w, int h)
{
    return Camera(lookAt, terrain.AnchorElevationM(lookAt.latDeg, lookAt.lonDeg), w, h);
}

// What a pixel shows against what a pick at that pixel returns, over a grid of pixels.
struct Agreement {
    int compared = 0;
    int hitMismatches = 0;  // one found terrain, the other did not
    int bothHit = 0;
    int withinHalfCell = 0;  // both hit, less than half a cell apart on the ground
    int withinPixel = 0;     // the drawn point, put on the surface, appears within 1.5 pixels
};

Agreement CompareWithPicks(TerrainRenderer& renderer, const Camera& camera)
{
    renderer.Render(camera);
    const Terrain& terrain = renderer.terrain();
    Agreement a;
    for (int y = 0; y < camera.HeightPx(); y += 5) {
        for (int x = 0; x < camera.WidthPx(); x += 5) {
            const double sx = 2.0 * x / camera.WidthPx() - 1.0, sy = 1.0 - 2.0 * y / camera.HeightPx();
            const RayCastResult pick = CastRay(terrain, camera.RayThrough(sx, sy));
            const auto drawn = renderer.DrawnCellPosition(x, y);
            ++a.compared;
            if (pick.hit.has_value() != drawn.has_value()) {
                ++a.hitMismatches;
                continue;
            }
            if (!drawn)
                continue;
            ++a.bothHit;
            const CellPosition picked = terrain.CellPositionOf(pick.hit->latDeg, pick.hit->lonDeg);
            a.withinHalfCell += std::hypot(picked.column - drawn->column, picked.row - drawn->row) < 0.5;
            const double latDeg = terrain.LatitudeOfRowDeg(drawn->row),
                         lonDeg = terrain.LongitudeOfColumnDeg(drawn->column);
            const auto onScreen =
                camera.Project(EcefFromGeodetic({latDeg, lonDeg, *terrain.ElevationM(latDeg, lonDeg)}));
            a.withinPixel += onScreen && std::hypot((onScreen->sx - sx) * camera.WidthPx() / 2,
                                                    (onScreen->sy - sy) * camera.HeightPx() / 2) < 1.5;
        }
    }
    return a;
}

TEST(TerrainRenderer, PixelsShowWhatAPickThereReturns)
{
    TerrainRenderer renderer(Synthetic());
    struct Case {
        LookAt lookAt;
        double halfCellShare;  // of the pixels compared
    };
    // At grazing angles far away a pixel spans many cells along the view, so a few far
    // pixels may lie cells apart on the ground while on screen they agree.
    for (const Case& k :
         {Case{{kSyntheticCentreLatDeg, kSyntheticCentreLonDeg, 0, 3000, 0, 0}, 0.99},
          Case{{33.25, 113.53, 0, 3000, 60, 40}, 0.98}, Case{{33.30, 113.50, 0, 20000, 30, 300}, 0.98},
          Case{{33.27, 113.58, 0, 2500, 80, 180}, 0.95}}) {
        const Agreement a = CompareWithPicks(renderer, CameraOver(*Synthetic(), k.lookAt, 320, 200));
        EXPECT_GT(a.bothHit, a.compared / 2) << k.lookAt.tiltDeg;
        EXPECT_LE(a.hitMismatches, a.compared / 100) << k.lookAt.tiltDeg;
        EXPECT_GE(a.withinPixel, 0.99 * a.bothHit) << k.lookAt.tiltDeg;
        EXPECT_GE(a.withinHalfCell, k.halfCellShare * a.bothHit) << k.lookAt.tiltDeg;
    }
}

TEST(TerrainRenderer, FramesDoNotDependOnTheThreadCount)
{
    TerrainRenderer renderer(Synthetic());
    const Camera camera = CameraOver(*Synthetic(), {33.24, 113.52, 0, 4000, 60, 120}, 400, 250);
    renderer.SetThreadCount(1);
    const QImage single = renderer.Render(camera);
    renderer.SetThreadCount(3);
    const QImage several = renderer.Render(camera);
    ASSERT_EQ(single.size(), several.size());
    int differing = 0;
    for (int y = 0; y < single.height(); ++y)
        for (int x = 0; x < single.width(); ++x) {
            const QRgb a = single.pixel(x, y), b = several.pixel(x, y);
            differing += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                             std::abs(qBlue(a) - qBlue(b)) >
                         3;
        }
    // Tiles drawn in another order may settle ties on shared edges differently.
    EXPECT_LE(differing, single.width() * single.height() / 1000);
}

bool IsSkyBlue(QRgb c)
{
    return qBlue(c) > qRed(c) + 20 && qBlue(c) > 180;
}

TEST(TerrainRenderer, SkyAboveTheHorizonOnlyWhenTilted)
{
    TerrainRenderer renderer(Synthetic());
    const QImage down = renderer.Render(CameraOver(*Synthetic(), {33.27, 113.55, 0, 3000, 0, 0}, 320, 200));
    const QImage level =
        renderer.Render(CameraOver(*Synthetic(), {33.27, 113.55, 0, 3000, kMaxTiltDeg, 0}, 320, 200));
    int skyDown = 0, skyTop = 0, skyBottom = 0;
    for (int x = 0; x < 320; ++x) {
        skyDown += IsSkyBlue(down.pixel(x, 100));
        skyTop += IsSkyBlue(level.pixel(x, 75));  // below the north arrow
        skyBottom += IsSkyBlue(level.pixel(x, 190));
    }
    EXPECT_EQ(skyDown, 0);
    EXPECT_EQ(skyTop, 320);
    EXPECT_EQ(skyBottom, 0);
    EXPECT_FALSE(renderer.DrawnCellPosition(160, 75));
    EXPECT_TRUE(renderer.DrawnCellPosition(160, 190));
}

TEST(TerrainRenderer, ClipsTheGroundAtTheCameraNearPlane)
{
    // Two metres from a focus 1 m above the ground, looking almost level from 1.6 m up:
    // tiles reach behind the camera and are cut at the near plane; what is drawn below the
    // centre is still the pick's ground.
    TerrainRenderer renderer(Synthetic());
    const Camera camera = CameraOver(*Synthetic(), {33.2, 113.45, 1.0, 2, kMaxTiltDeg, 255}, 160, 100);
    renderer.Render(camera);
    for (int y : {70, 85, 99}) {
        const auto drawn = renderer.DrawnCellPosition(80, y);
        const RayCastResult pick = CastRay(*Synthetic(), camera.RayThrough(0.0, 1.0 - 2.0 * y / 100));
        ASSERT_TRUE(drawn && pick.hit) << y;
        const CellPosition picked = Synthetic()->CellPositionOf(pick.hit->latDeg, pick.hit->lonDeg);
        EXPECT_LT(std::hypot(picked.column - drawn->column, picked.row - drawn->row), 0.05) << y;
    }
}

TEST(TerrainRenderer, GroundWithoutDataIsNotDrawnAsTerrain)
{
    // A small terrain seen from high above: the view's corners lie outside it.
    const auto small =
        testing::TerrainAround(33.0, 113.0, 0.01, 1.0 / 1200.0, [](double, double) { return 100.0f; });
    TerrainRenderer renderer(small);
    const QImage image = renderer.Render(CameraOver(*small, {33.0, 113.0, 0, 10000, 0, 0}, 200, 200));
    EXPECT_TRUE(renderer.DrawnCellPosition(100, 100));
    EXPECT_FALSE(renderer.DrawnCellPosition(40, 100));
    const QRgb outside = image.pixel(40, 100), inside = image.pixel(100, 100);
    EXPECT_LT(std::abs(qRed(outside) - qGreen(outside)), 15);  // grey
    EXPECT_GT(qGreen(inside), qRed(inside));                   // lowland green
}

TEST(TerrainLodTree, TileErrorBoundsTheMeshDeviation)
{
    // Brute force over the samples of some tiles: the tile's mesh (cells split from the
    // north-west to the south-east corner) differs from every sample by at most errorM.
    const Terrain& terrain = *Synthetic();
    const TerrainLod lod(terrain);
    std::vector<int> columns, rows;
    int checked = 0;
    for (size_t n = 0; n < lod.Nodes().size(); n += 37) {
        const TerrainLod::Node& node = lod.Nodes()[n];
        if (node.level == 0 || node.level > 3)
            continue;
        lod.VertexColumns(node, columns);
        lod.VertexRows(node, rows);
        double worstM = 0.0;
        for (size_t j = 0; j + 1 < rows.size(); ++j)
            for (size_t i = 0; i + 1 < columns.size(); ++i)
                for (int r = rows[j]; r <= rows[j + 1]; ++r)
                    for (int c = columns[i]; c <= columns[i + 1]; ++c) {
                        const double fx = double(c - columns[i]) / (columns[i + 1] - columns[i]);
                        const double fy = double(r - rows[j]) / (rows[j + 1] - rows[j]);
                        const double h00 = terrain.SampleM(columns[i], rows[j]),
                                     h10 = terrain.SampleM(columns[i + 1], rows[j]);
                        const double h01 = terrain.SampleM(columns[i], rows[j + 1]),
                                     h11 = terrain.SampleM(columns[i + 1], rows[j + 1]);
                        const double meshM = fx >= fy ? h00 + fx * (h10 - h00) + fy * (h11 - h10)
                                                      : h00 + fy * (h01 - h00) + fx * (h11 - h01);
                        worstM = std::max(worstM, std::fabs(meshM - terrain.SampleM(c, r)));
                    }
        EXPECT_LE(worstM, node.errorM + 1e-3) << "level " << node.level;
        EXPECT_GE(node.maxM, node.minM);
        ++checked;
    }
    EXPECT_GT(checked, 10);
}

TEST(Hillshade, LightsSlopesFacingTheNorthWest)
{
    // Three planes: flat, rising to the south-east (facing north-west), rising to the north-west.
    const auto shadeOf = [](double eastSlope, double northSlope) {
        const double mLon = MetresPerDegreeLon(33.0) / 1000.0, mLat = MetresPerDegreeLat(33.0) / 1000.0;
        const auto plane =
            testing::TerrainAround(33.0, 113.0, 0.003, 0.001, [&](double latDeg, double lonDeg) {
                return static_cast<float>(100.0 + eastSlope * (lonDeg - 113.0) * mLon * 1000.0 +
                                          northSlope * (latDeg - 33.0) * mLat * 1000.0);
            });
        return ComputeHillshade(*plane)[3 * 7 + 3];
    };
    EXPECT_NEAR(shadeOf(0, 0), 180, 1);  // 255 · sin 45°
    EXPECT_GT(shadeOf(0.1, -0.1), 220);
    EXPECT_LT(shadeOf(-0.1, 0.1), 130);
}

TEST(Overlays, ScaleBarTakesOneTwoFiveSteps)
{
    struct Case {
        double metresPerPixel, maxPx, lengthM;
        const char* label;
    };
    for (const Case& k :
         {Case{2.7, 160, 200, "200 米"}, Case{30.0, 160, 2000, "2 公里"}, Case{0.01, 150, 1, "1 米"},
          Case{100.0, 160, 10000, "10 公里"}, Case{6.0, 100, 500, "500 米"}}) {
        const ScaleBar bar = ChooseScaleBar(k.metresPerPixel, k.maxPx);
        EXPECT_DOUBLE_EQ(bar.lengthM, k.lengthM);
        EXPECT_NEAR(bar.lengthPx, k.lengthM / k.metresPerPixel, 1e-9);
        EXPECT_EQ(bar.label, QString::fromUtf8(k.label));
    }
}

TEST(Overlays, NorthArrowFollowsAzimuthAndTilt)
{
    const auto north = [](double tiltDeg, double azimuthDeg) {
        return NorthOnScreenDeg(Camera({33.0, 113.0, 0, 3000, tiltDeg, azimuthDeg}, 0.0, 800, 600));
    };
    EXPECT_NEAR(north(0, 0), 0.0, 1e-6);
    EXPECT_NEAR(north(0, 90), -90.0, 1e-6);
    EXPECT_NEAR(north(0, 200), 160.0, 1e-6);
    // Tilted, the ground is foreshortened along the view: atan2(sin α, cos α · cos tilt).
    EXPECT_NEAR(north(60, 30), std::atan2(-0.5, std::cos(M_PI / 6) * 0.5) * 180.0 / M_PI, 0.05);
}

// The scale bar, the north arrow with its letter and the readout under the mouse lie wholly
// inside the view, the note beside the readout clear of it, at every azimuth and tilt, from
// the map panel of the restored main window at 96 dpi to a large screen's.
TEST(Overlays, StayWhollyInsideTheViewAtEveryAzimuthAndTilt)
{
    TerrainScene scene(Synthetic());
    TerrainRenderWidget view(scene);
    view.SetNote(QStringLiteral("正在细化地形..."));
    const auto text = [](const QRectF& r) {
        return QStringLiteral("(%1, %2) to (%3, %4)")
            .arg(r.left())
            .arg(r.top())
            .arg(r.right())
            .arg(r.bottom())
            .toStdString();
    };
    for (const QSize size : {QSize(360, 280), QSize(640, 480), QSize(1190, 880)}) {
        view.resize(size);
        const QRectF whole(QPointF(0, 0), QSizeF(size));
        for (const double tiltDeg : {0.0, 30.0, 60.0, 80.0}) {
            for (const double azimuthDeg :
                 {-180.0, -135.0, -90.0, -60.0, -30.0, 0.0, 45.0, 90.0, 150.0, 180.0}) {
                SCOPED_TRACE(QStringLiteral("%1×%2, tilt %3°, azimuth %4°")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(tiltDeg)
                                 .arg(azimuthDeg)
                                 .toStdString());
                LookAt lookAt = kDefaultLookAt;
                lookAt.tiltDeg = tiltDeg;
                lookAt.azimuthDeg = azimuthDeg;
                scene.SetLookAt(lookAt);
                const QPointF mouse(0.5 * size.width(), 0.75 * size.height());
                QMouseEvent move(QEvent::MouseMove, mouse, mouse, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&view, &move);
                view.grab();
                const TerrainRenderWidget::DrawnOverlays& drawn = view.Overlays();
                for (const QRectF& overlay : {drawn.scaleBar, drawn.compass, drawn.readout, drawn.note}) {
                    EXPECT_FALSE(overlay.isEmpty());
                    EXPECT_TRUE(whole.contains(overlay)) << text(overlay);
                }
                EXPECT_FALSE(drawn.note.intersects(drawn.readout))
                    << text(drawn.note) << " " << text(drawn.readout);
            }
        }
    }
}

}  // namespace
}  // namespace keldarn::earth
