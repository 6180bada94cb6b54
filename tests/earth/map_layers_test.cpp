#include "earth/kml_overlay.h"
#include "earth/map_layers.h"
#include "earth/synthetic_terrain.h"
#include "earth/terrain_renderer.h"
#include "earth/terrain_scene.h"
#include "terrain_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace keldarn::earth {
namespace {

const QRgb kMagenta = qRgb(255, 0, 255);

std::shared_ptr<const Terrain> Synthetic()
{
    static const auto terrain = MakeSyntheticTerrain();
    return terrain;
}

GroundHeight GroundOf(const Terrain& terrain)
{
    return [&terrain](double latDeg, double lonDeg) { return terrain.ElevationM(latDeg, lonDeg); };
}

FrameDepth DepthOf(const TerrainRenderer& renderer)
{
    const SurfaceBuffers& b = renderer.Buffers();
    return {b.widthPx, b.heightPx, &b.invDepth};
}

std::shared_ptr<MapLayer> Layer(QColor colour, std::vector<MapMarker> markers = {},
                                std::vector<MapPolyline> lines = {})
{
    return std::make_shared<MapLayer>(
        MapLayer{QStringLiteral("test"), std::move(markers), std::move(lines), colour});
}

double GroundDistanceM(double latA, double lonA, double latB, double lonB)
{
    return (EcefFromGeodetic({latA, lonA, 0.0}) - EcefFromGeodetic({latB, lonB, 0.0})).Length();
}

// Markers are put where picks at view points between pixel centres find the ground; each must
// appear at that view point, in the pixel whose own pick lies within a pixel's ground size of
// it, and that pixel must show the marker's colour.
TEST(MapLayers, MarkersLandOnTheirPixels)
{
    const QSize size(320, 200);
    TerrainScene scene(Synthetic());
    for (const LookAt& lookAt :
         {kDefaultLookAt, LookAt{33.25, 113.53, 0, 3000, 60, 40}, LookAt{33.27, 113.58, 0, 2500, 80, 180}}) {
        scene.SetLookAt(lookAt);
        const Camera camera = scene.MakeCamera(size);
        QImage frame = scene.Render(size);
        std::vector<MapMarker> markers;
        std::vector<ScreenPoint> wanted;
        for (double sx : {-0.5, -0.17, 0.17, 0.5})
            for (double sy : {-0.25, 0.1, 0.4}) {
                const ScreenPoint s{sx + 0.0123, sy - 0.0071};
                const RayCastResult pick = scene.Pick(s.sx, s.sy, size);
                ASSERT_TRUE(pick.hit) << lookAt.tiltDeg;
                markers.push_back({pick.hit->latDeg, pick.hit->lonDeg, QString(), false});
                wanted.push_back(s);
            }
        const MapLayersDrawn drawn = DrawMapLayers(frame, camera, DepthOf(scene.renderer()),
                                                   GroundOf(*Synthetic()), {Layer(kMagenta, markers)});
        EXPECT_EQ(drawn.markers, static_cast<int>(markers.size())) << lookAt.tiltDeg;
        for (size_t k = 0; k < markers.size(); ++k) {
            const MapMarker& m = markers[k];
            const auto p =
                MarkerPixel(camera, m.latDeg, m.lonDeg, *Synthetic()->ElevationM(m.latDeg, m.lonDeg));
            ASSERT_TRUE(p) << k;
            EXPECT_NEAR(p->x(), (wanted[k].sx + 1.0) * size.width() / 2 + 0.5, 0.01) << k;
            EXPECT_NEAR(p->y(), (1.0 - wanted[k].sy) * size.height() / 2 + 0.5, 0.01) << k;
            const int x = static_cast<int>(p->x()), y = static_cast<int>(p->y());
            const auto pickAt = [&](int px, int py) {
                return *scene.Pick(2.0 * px / size.width() - 1.0, 1.0 - 2.0 * py / size.height(), size).hit;
            };
            const TerrainHit here = pickAt(x, y), right = pickAt(x + 1, y), below = pickAt(x, y + 1);
            const double pixelM =
                std::max(GroundDistanceM(here.latDeg, here.lonDeg, right.latDeg, right.lonDeg),
                         GroundDistanceM(here.latDeg, here.lonDeg, below.latDeg, below.lonDeg));
            EXPECT_LT(GroundDistanceM(here.latDeg, here.lonDeg, m.latDeg, m.lonDeg), 0.75 * pixelM) << k;
            EXPECT_EQ(frame.pixel(x, y), kMagenta) << lookAt.tiltDeg << " marker " << k;
        }
    }
}

// Whether a cyan line passes within a pixel of p: antialiased, it is blended with the ground.
bool ShowsCyanLine(const QImage& frame, QPointF p)
{
    for (int y = static_cast<int>(p.y()) - 1; y <= static_cast<int>(p.y()) + 1; ++y)
        for (int x = static_cast<int>(p.x()) - 1; x <= static_cast<int>(p.x()) + 1; ++x)
            if (qBlue(frame.pixel(x, y)) > qRed(frame.pixel(x, y)) + 80)
                return true;
    return false;
}

// An east-west ridge 300 m above a plain, seen from the south: what lies on the plain behind
// it is hidden, a marker in front is not, and a line that crosses the ridge is drawn up to
// where it goes out of sight.
TEST(MapLayers, TerrainHidesWhatLiesBehindIt)
{
    const auto ridge = testing::TerrainAround(33.0, 113.0, 0.02, 1.0 / 3600.0, [](double latDeg, double) {
        const double d = (latDeg - 33.0) / 0.002;
        return static_cast<float>(100.0 + 300.0 * std::exp(-d * d));
    });
    TerrainRenderer renderer(ridge);
    const Camera camera({33.0, 113.0, 0.0, 2000.0, 75.0, 0.0}, *ridge->ElevationM(33.0, 113.0), 320, 200);
    const auto behindPx = MarkerPixel(camera, 33.006, 113.0, 100.0);
    ASSERT_TRUE(behindPx);
    const auto markers =
        Layer(kMagenta, {{32.996, 113.0, QString(), false}, {33.006, 113.0, QString(), false}});
    const auto behindLine = Layer(
        Qt::cyan, {},
        {MapPolyline{{{.latDeg = 33.006, .lonDeg = 112.997}, {.latDeg = 33.006, .lonDeg = 113.003}}, false}});
    const auto crossingLine = Layer(
        Qt::cyan, {},
        {MapPolyline{{{.latDeg = 32.996, .lonDeg = 112.999}, {.latDeg = 33.006, .lonDeg = 112.999}}, false}});

    QImage frame = renderer.Render(camera);
    const MapLayersDrawn drawn =
        DrawMapLayers(frame, camera, DepthOf(renderer), GroundOf(*ridge), {behindLine, markers});
    EXPECT_EQ(drawn.markers, 1);
    EXPECT_EQ(drawn.segments, 0);
    EXPECT_NE(frame.pixel(static_cast<int>(behindPx->x()), static_cast<int>(behindPx->y())), kMagenta);

    frame = renderer.Render(camera);
    DrawMapLayers(frame, camera, DepthOf(renderer), GroundOf(*ridge), {crossingLine});
    for (const double latDeg : {32.997, 32.9985})  // up the slope in front, the second just below the crest
        EXPECT_TRUE(
            ShowsCyanLine(frame, *MarkerPixel(camera, latDeg, 112.999, *ridge->ElevationM(latDeg, 112.999))))
            << latDeg;

    // Without the frame's depth nothing is hidden.
    frame = renderer.Render(camera);
    EXPECT_EQ(DrawMapLayers(frame, camera, FrameDepth{}, GroundOf(*ridge), {markers}).markers, 2);
}

// Lines spread over the demonstration terrain: zig-zags 600 m long of 60 vertices (20 m teeth,
// well above a pixel at 3 km, below one from 60 km) and 20 m dashes (a dot from 60 km).
std::shared_ptr<const MapLayer> ScatteredLines()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> offset(-0.06, 0.06);
    std::vector<MapPolyline> lines;
    for (int k = 0; k < 300; ++k) {
        const double latDeg = kDefaultLookAt.latDeg + offset(random),
                     lonDeg = kDefaultLookAt.lonDeg + offset(random);
        MapPolyline line;
        const int vertices = k % 2 == 0 ? 60 : 2;
        for (int v = 0; v < vertices; ++v)
            line.vertices.push_back({.latDeg = latDeg + (v % 2) * 0.00018, .lonDeg = lonDeg + v * 0.0001});
        line.closed = k % 10 == 0 && vertices > 2;
        lines.push_back(std::move(line));
    }
    return Layer(Qt::cyan, {}, std::move(lines));
}

// Whatever simplification, culling and dots leave out must stay within a pixel of the lines:
// every vertex on the frame shows a line next to it.
TEST(MapLayers, EveryVertexOfALineIsDrawnNearby)
{
    const QSize size(640, 400);
    const auto layer = ScatteredLines();
    for (const LookAt& lookAt :
         {kDefaultLookAt, LookAt{33.2677, 113.5538, 0, 3000, 60, 30},
          LookAt{33.2677, 113.5538, 0, 60000, 0, 0}, LookAt{33.2677, 113.5538, 0, 20000, 50, 0}}) {
        TerrainScene scene(Synthetic());
        scene.SetLookAt(lookAt);
        const Camera camera = scene.MakeCamera(size);
        QImage frame = scene.Render(size);
        // Without the depth: nothing hides, so every vertex on the frame must show.
        const MapLayersDrawn drawn =
            DrawMapLayers(frame, camera, FrameDepth{}, GroundOf(*Synthetic()), {layer});
        int checked = 0;
        for (const MapPolyline& line : layer->lines) {
            for (const geodesy::GeoPoint& v : line.vertices) {
                const auto p =
                    MarkerPixel(camera, v.latDeg, v.lonDeg, *Synthetic()->ElevationM(v.latDeg, v.lonDeg));
                if (!p || p->x() < 1 || p->y() < 1 || p->x() >= size.width() - 1 ||
                    p->y() >= size.height() - 1)
                    continue;
                ++checked;
                EXPECT_TRUE(ShowsCyanLine(frame, *p))
                    << lookAt.rangeM << " m, tilt " << lookAt.tiltDeg << ": " << v.latDeg << ", " << v.lonDeg;
            }
        }
        EXPECT_GT(checked, 100) << lookAt.rangeM;
        EXPECT_GT(drawn.segments, 0) << lookAt.rangeM;
    }
}

TEST(MapLayers, LabelsNeverOverlapAndTheSelectedOneIsAlwaysShown)
{
    const QSize size(320, 200);
    TerrainScene scene(Synthetic());
    const Camera camera = scene.MakeCamera(size);
    QImage frame = scene.Render(size);
    // 400 points crowded into the middle of a 3 km wide view; the last one selected.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> offset(-0.004, 0.004);
    std::vector<MapMarker> markers;
    for (int k = 0; k < 400; ++k)
        markers.push_back({kDefaultLookAt.latDeg + offset(random),
                           kDefaultLookAt.lonDeg + 1.5 * offset(random), QStringLiteral("测点 %1").arg(k),
                           k == 399});
    const MapLayersDrawn drawn = DrawMapLayers(frame, camera, DepthOf(scene.renderer()),
                                               GroundOf(*Synthetic()), {Layer(kMagenta, markers)});

    EXPECT_EQ(drawn.markers, 400);
    EXPECT_GE(drawn.labels.size(), 3u);
    EXPECT_LT(drawn.labels.size(), 200u);
    const QRectF whole(QPointF(0, 0), size);
    for (size_t i = 0; i < drawn.labels.size(); ++i) {
        EXPECT_TRUE(whole.contains(drawn.labels[i].platePx)) << i;
        for (size_t j = i + 1; j < drawn.labels.size(); ++j)
            EXPECT_FALSE(drawn.labels[i].platePx.intersects(drawn.labels[j].platePx)) << i << " " << j;
    }
    EXPECT_TRUE(std::any_of(drawn.labels.begin(), drawn.labels.end(),
                            [](const DrawnLabel& label) { return label.marker == 399; }));
}

// A sampling run's 20,000 labelled points, some five pixels apart over the whole view: labels
// are thinned by the room about them, so that they cover at most a quarter of the terrain,
// and still name points in every part of the view.
TEST(MapLayers, DenseLabelsLeaveMostOfTheTerrainVisible)
{
    const QSize size(800, 600);
    TerrainScene scene(Synthetic());
    const Camera camera = scene.MakeCamera(size);
    QImage frame = scene.Render(size);
    constexpr int kColumns = 160, kRows = 125;
    const double spanLatDeg = 0.0234, spanLonDeg = 0.0373;  // the view's 2.6 × 3.5 km
    std::vector<MapMarker> markers;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            markers.push_back({kDefaultLookAt.latDeg + spanLatDeg * (0.5 - (r + 0.5) / kRows),
                               kDefaultLookAt.lonDeg + spanLonDeg * ((c + 0.5) / kColumns - 0.5),
                               QString::number(r * kColumns + c + 1), false});
    const MapLayersDrawn drawn = DrawMapLayers(frame, camera, DepthOf(scene.renderer()),
                                               GroundOf(*Synthetic()), {Layer(kMagenta, markers)});

    EXPECT_GT(drawn.markers, 19000);
    double coveredPx = 0.0;
    int labelsInQuarter[2][2] = {};
    for (const DrawnLabel& label : drawn.labels) {
        coveredPx += label.platePx.width() * label.platePx.height();  // plates never overlap
        const QPointF centre = label.platePx.center();
        ++labelsInQuarter[centre.x() < 0.5 * size.width()][centre.y() < 0.5 * size.height()];
    }
    EXPECT_LT(coveredPx, 0.25 * size.width() * size.height());
    for (const auto& column : labelsInQuarter)
        for (const int count : column)
            EXPECT_GT(count, 20);
    // A layer shown without names: every marker, no label.
    const auto unnamed = Layer(kMagenta, markers);
    unnamed->labelled = false;
    const MapLayersDrawn bare =
        DrawMapLayers(frame, camera, DepthOf(scene.renderer()), GroundOf(*Synthetic()), {unnamed});
    EXPECT_EQ(bare.markers, drawn.markers);
    EXPECT_TRUE(bare.labels.empty());
}

struct KmlCase {
    const char* file;
    std::vector<QString> markerNames;
    size_t lines;
    size_t closedLines;
};

TEST(KmlOverlay, ReadsPlacemarksAndLines)
{
    const std::vector<KmlCase> cases = {
        {"google_earth_export.kml", {"控制点 K1", "K2 & K3", "井口", "轨迹"}, 4, 2},
        {"gbk_undeclared.kml", {"界桩 J1"}, 1, 0},
        {"kml_prefix.kml", {"BM3"}, 1, 1},
        {"tracks_only.kml", {"巡线 下午"}, 2, 0},
        // The archive's main document only links to a document in a folder of the archive.
        {"ogr_libkml.kmz", {"P1", ""}, 1, 0},
        // Two layer files: a route, then an area of an outer ring and a hole.
        {"libkml_layers.kmz", {}, 3, 2},
    };
    for (const KmlCase& k : cases) {
        const auto layer = LoadKmlOverlay(testing::TestDataDir() + "/kml/" + k.file);
        ASSERT_TRUE(layer) << k.file;
        EXPECT_EQ(layer->name, QString::fromUtf8(k.file));
        std::vector<QString> names;
        for (const MapMarker& m : layer->markers)
            names.push_back(m.name);
        EXPECT_EQ(names, k.markerNames) << k.file;
        EXPECT_EQ(layer->lines.size(), k.lines) << k.file;
        EXPECT_EQ(
            std::count_if(layer->lines.begin(), layer->lines.end(), [](const auto& l) { return l.closed; }),
            static_cast<long>(k.closedLines))
            << k.file;
    }

    const auto export_ = LoadKmlOverlay(testing::TestDataDir() + "/kml/google_earth_export.kml");
    EXPECT_EQ(export_->markers[0].latDeg, 33.2677);
    EXPECT_EQ(export_->markers[0].lonDeg, 113.5538);
    // The parcel's ring: five tuples, the last repeating the first.
    const MapPolyline& ring = export_->lines[1];
    ASSERT_TRUE(ring.closed);
    ASSERT_EQ(ring.vertices.size(), 4u);
    EXPECT_EQ(ring.vertices[2], (geodesy::GeoPoint{.latDeg = 33.275, .lonDeg = 113.565}));
}

TEST(KmlOverlay, FailsNamingTheFileAndStopsWhenCancelled)
{
    try {
        LoadKmlOverlay("/nonexistent/测区.kml");
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("测区.kml"), std::string::npos) << error.what();
    }
    EXPECT_EQ(LoadKmlOverlay(testing::TestDataDir() + "/kml/ogr_kml.kml", [] { return true; }), nullptr);
}

}  // namespace
}  // namespace keldarn::earth
