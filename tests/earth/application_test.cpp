#include "earth/synthetic_terrain.h"
#include "earth/terrain_application.h"
#include "terrain_fixtures.h"

#include <GeographicLib/Geodesic.hpp>
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

namespace keldarn::earth {
namespace {

const double kTan30 = std::tan(std::numbers::pi / 6.0);

double GroundDistanceM(const IPointOnTerrainGE& a, const IPointOnTerrainGE& b)
{
    double distanceM = 0.0;
    GeographicLib::Geodesic::WGS84().Inverse(a.Latitude, a.Longitude, b.Latitude, b.Longitude, distanceM);
    return distanceM;
}

std::string MessageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

// One viewer on the demonstration terrain for the tests of this file; creating it builds
// the terrain, which takes a moment.
class ViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { viewer_ = CreateTerrainApplication({}).release(); }
    static void TearDownTestSuite() { delete viewer_; }
    void SetUp() override
    {
        viewer_->GetMainHwnd()->hide();
        viewer_->GetMainHwnd()->resize(800, 600);
        viewer_->SetCameraParams(33.2677, 113.5538, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 3000, 0, 0,
                                 1.0);
    }

    static TerrainApplication* viewer_;
};
TerrainApplication* ViewerTest::viewer_ = nullptr;

TEST_F(ViewerTest, StartsOnTheDemonstrationTerrainWithItsWindows)
{
    EXPECT_TRUE(viewer_->CurrentTerrain().IsSynthetic());
    QWidget* main = viewer_->GetMainHwnd();
    QWidget* render = viewer_->GetRenderHwnd();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(render, nullptr);
    EXPECT_TRUE(main->isAncestorOf(render));
    EXPECT_TRUE(main->isWindow());
    const auto camera = viewer_->GetCamera(true);
    ASSERT_TRUE(camera.has_value());
    EXPECT_DOUBLE_EQ(camera->FocusPointLatitude, 33.2677);
    EXPECT_DOUBLE_EQ(camera->FocusPointLongitude, 113.5538);
    EXPECT_DOUBLE_EQ(camera->Range, 3000.0);
}

TEST_F(ViewerTest, SetCameraParamsClampsAndConvertsAbsoluteAltitudes)
{
    viewer_->SetCameraParams(95.0, 200.0, 10.0, AltitudeModeGE::RelativeToGroundAltitudeGE, -50.0, 120.0,
                             -30.0, 1.0);
    auto camera = viewer_->GetCamera(true);
    EXPECT_DOUBLE_EQ(camera->FocusPointLatitude, 90.0);
    EXPECT_DOUBLE_EQ(camera->FocusPointLongitude, -160.0);
    EXPECT_DOUBLE_EQ(camera->Range, kMinRangeM);
    EXPECT_DOUBLE_EQ(camera->Tilt, kMaxTiltDeg);
    EXPECT_DOUBLE_EQ(camera->Azimuth, 330.0);

    const double groundM = *viewer_->CurrentTerrain().ElevationM(33.25, 113.55);
    viewer_->SetCameraParams(33.25, 113.55, groundM + 100.0, AltitudeModeGE::AbsoluteAltitudeGE, 2000, 0, 0,
                             1.0);
    camera = viewer_->GetCamera(true);
    EXPECT_NEAR(camera->FocusPointAltitude, 100.0, 1e-9);

    viewer_->SetCameraParams(NAN, 113.6, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 2500, 10, 0, 1.0);
    camera = viewer_->GetCamera(true);
    EXPECT_DOUBLE_EQ(camera->FocusPointLatitude, 33.25);  // kept
    EXPECT_DOUBLE_EQ(camera->FocusPointLongitude, 113.6);
}

TEST_F(ViewerTest, CameraIsLiftedOutOfHills)
{
    // Twenty metres behind this focus the ground rises above the camera's place at 85°; the
    // tilt is lowered until the camera clears the ground by 2 m.
    viewer_->SetCameraParams(33.2, 113.45, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 20, 85, 75, 1.0);
    const auto camera = viewer_->GetCamera(true);
    EXPECT_LT(camera->Tilt, 85.0);
    EXPECT_GT(camera->Tilt, 0.0);
    const Terrain& terrain = viewer_->CurrentTerrain();
    const Camera view({camera->FocusPointLatitude, camera->FocusPointLongitude, camera->FocusPointAltitude,
                       camera->Range, camera->Tilt, camera->Azimuth},
                      terrain.AnchorElevationM(camera->FocusPointLatitude, camera->FocusPointLongitude), 800, 600);
    const Geodetic eye = GeodeticFromEcef(view.Position());
    EXPECT_GE(eye.heightM, *terrain.ElevationM(eye.latDeg, eye.lonDeg) + 1.9);
}

TEST_F(ViewerTest, PicksUseTheRenderWindowsSize)
{
    // Never shown: 800 × 600, so the top edge is 3/4 as far from the centre as the right edge.
    const IPointOnTerrainGE centre = viewer_->GetPointOnTerrainFromScreenCoords(0.0, 0.0);
    EXPECT_NEAR(centre.Latitude, 33.2677, 1e-9);
    EXPECT_NEAR(centre.Longitude, 113.5538, 1e-9);
    EXPECT_NEAR(centre.Altitude, *viewer_->CurrentTerrain().ElevationM(33.2677, 113.5538), 1e-6);
    const double rightM = GroundDistanceM(centre, viewer_->GetPointOnTerrainFromScreenCoords(1.0, 0.0));
    const double topM = GroundDistanceM(centre, viewer_->GetPointOnTerrainFromScreenCoords(0.0, 1.0));
    // Over hills the distances differ from flat ground by up to the relief times tan 30°.
    EXPECT_NEAR(rightM, 3000.0 * kTan30, 250.0);
    EXPECT_NEAR(topM, 3000.0 * kTan30 * 0.75, 250.0);

    // Shown at 1000 × 400 the render window fills the main window.
    QWidget* main = viewer_->GetMainHwnd();
    main->resize(1000, 400);
    main->show();
    QApplication::processEvents();
    EXPECT_EQ(viewer_->GetRenderHwnd()->size(), QSize(1000, 400));
    EXPECT_EQ(viewer_->ViewSize(), QSize(1000, 400));
    const double wideTopM = GroundDistanceM(centre, viewer_->GetPointOnTerrainFromScreenCoords(0.0, 1.0));
    EXPECT_NEAR(wideTopM, 3000.0 * kTan30 * 0.4, 250.0);
    EXPECT_LT(wideTopM, topM);
}

TEST_F(ViewerTest, PicksThatMeetNoTerrainThrowWithAMessage)
{
    viewer_->SetCameraParams(33.2677, 113.5538, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 3000, 85, 0,
                             1.0);
    EXPECT_NE(MessageOf([] { viewer_->GetPointOnTerrainFromScreenCoords(0.0, 1.0); }).find("没有地形数据"),
              std::string::npos);
    viewer_->SetCameraParams(33.2677, 113.5538, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 200000, 0, 0,
                             1.0);
    EXPECT_NE(MessageOf([] { viewer_->GetPointOnTerrainFromScreenCoords(1.0, 1.0); }).find("范围之外"),
              std::string::npos);
    EXPECT_THROW(viewer_->GetPointOnTerrainFromScreenCoords(NAN, 0.0), EarthError);
}

void Send(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

TEST_F(ViewerTest, DraggingCarriesTheGroundWithTheMouse)
{
    QWidget* main = viewer_->GetMainHwnd();
    main->resize(400, 300);
    main->show();
    QApplication::processEvents();
    QWidget* render = viewer_->GetRenderHwnd();
    const auto pick = [&](QPointF at) {
        return viewer_->GetPointOnTerrainFromScreenCoords(2.0 * at.x() / 400 - 1.0,
                                                          2.0 * (300 - at.y()) / 300 - 1.0);
    };
    for (double tiltDeg : {0.0, 50.0}) {
        viewer_->SetCameraParams(33.26, 113.55, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 3000, tiltDeg,
                                 20, 1.0);
        const QPointF from(120, 200), to(260, 120);
        const IPointOnTerrainGE grabbed = pick(from);
        Send(render, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Send(render, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        Send(render, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        Send(render, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        EXPECT_LT(GroundDistanceM(grabbed, pick(to)), 1.0) << tiltDeg;
        EXPECT_DOUBLE_EQ(viewer_->GetCamera(true)->Range, 3000.0);
    }
}

TEST_F(ViewerTest, WheelZoomsAndRightDragTurnsAndTilts)
{
    QWidget* main = viewer_->GetMainHwnd();
    main->resize(400, 300);
    main->show();
    QApplication::processEvents();
    QWidget* render = viewer_->GetRenderHwnd();
    QWheelEvent wheel(QPointF(200, 150), render->mapToGlobal(QPointF(200, 150)), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(render, &wheel);
    EXPECT_NEAR(viewer_->GetCamera(true)->Range, 3000.0 * 0.64, 1e-9);  // two notches forwards

    Send(render, QEvent::MouseButtonPress, QPointF(200, 200), Qt::RightButton, Qt::RightButton);
    Send(render, QEvent::MouseMove, QPointF(250, 100), Qt::NoButton, Qt::RightButton);
    Send(render, QEvent::MouseButtonRelease, QPointF(250, 100), Qt::RightButton, Qt::NoButton);
    auto camera = viewer_->GetCamera(true);
    EXPECT_NEAR(camera->Tilt, 30.0, 1e-9);      // 100 px up
    EXPECT_NEAR(camera->Azimuth, 345.0, 1e-9);  // 50 px right

    // Ctrl + left drag does the same.
    Send(render, QEvent::MouseButtonPress, QPointF(200, 200), Qt::LeftButton, Qt::LeftButton,
         Qt::ControlModifier);
    Send(render, QEvent::MouseMove, QPointF(200, 250), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    Send(render, QEvent::MouseButtonRelease, QPointF(200, 250), Qt::LeftButton, Qt::NoButton,
         Qt::ControlModifier);
    EXPECT_NEAR(viewer_->GetCamera(true)->Tilt, 15.0, 1e-9);
}

TEST_F(ViewerTest, DoubleClickZoomsInOnTheClickedGround)
{
    QWidget* main = viewer_->GetMainHwnd();
    main->resize(400, 300);
    main->show();
    QApplication::processEvents();
    const IPointOnTerrainGE target =
        viewer_->GetPointOnTerrainFromScreenCoords(2.0 * 300 / 400 - 1.0, 2.0 * (300 - 80) / 300 - 1.0);
    Send(viewer_->GetRenderHwnd(), QEvent::MouseButtonDblClick, QPointF(300, 80), Qt::LeftButton,
         Qt::LeftButton);
    const auto camera = viewer_->GetCamera(true);
    EXPECT_DOUBLE_EQ(camera->Range, 1500.0);
    EXPECT_NEAR(camera->FocusPointLatitude, target.Latitude, 1e-9);
    EXPECT_NEAR(camera->FocusPointLongitude, target.Longitude, 1e-9);
}

TEST_F(ViewerTest, ShowsAFrameAndTheReadoutUnderTheMouse)
{
    QWidget* main = viewer_->GetMainHwnd();
    main->resize(400, 300);
    main->show();
    QApplication::processEvents();
    auto* render = static_cast<TerrainRenderWidget*>(viewer_->GetRenderHwnd());
    const QImage shown = render->grab().toImage();  // paints the widget
    EXPECT_EQ(render->Frame().size(), QSize(400, 300));
    EXPECT_EQ(shown.pixel(200, 150), render->Frame().pixel(200, 150));
    Send(render, QEvent::MouseMove, QPointF(100, 100), Qt::NoButton, Qt::NoButton);
    const IPointOnTerrainGE under =
        viewer_->GetPointOnTerrainFromScreenCoords(2.0 * 100 / 400 - 1.0, 2.0 * 200 / 300 - 1.0);
    EXPECT_EQ(render->Readout(), FormatReadout({under.Latitude, under.Longitude, under.Altitude, 0.0}));
    EXPECT_TRUE(render->Readout().startsWith(QStringLiteral("纬度 33.")));
}

TEST_F(ViewerTest, FillsThePanelItIsTakenInto)
{
    // As the main window embeds it: made a child of the map panel and fitted to it.
    QWidget panel;
    panel.resize(640, 360);
    QWidget* window = viewer_->GetMainHwnd();
    window->setParent(&panel, Qt::Widget);
    window->setGeometry(panel.rect());
    panel.show();
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(viewer_->GetRenderHwnd()->geometry(), QRect(0, 0, 640, 360));
    panel.resize(500, 300);
    window->setGeometry(panel.rect());
    QApplication::processEvents();
    EXPECT_EQ(viewer_->GetRenderHwnd()->size(), QSize(500, 300));
    EXPECT_EQ(viewer_->ViewSize(), QSize(500, 300));
    window->setParent(nullptr);  // back to a window of its own for the other tests
}

TEST(TerrainApplicationSource, ChangesTerrainOrKeepsItOnFailure)
{
    testing::ScratchDir dir;
    const std::string path = dir.File("area.tif");
    // 0.02° square at 1 000 m plus 10 m per column, away from the demonstration terrain.
    std::vector<float> values(40 * 40);
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 40; ++c)
            values[r * 40 + c] = 1000.0f + 10.0f * c;
    testing::WriteGeoTiff(path, {100.0, 0.0005, 0, 30.02, 0, -0.0005}, 40, 40, values, "EPSG:4326");

    const auto viewer = CreateTerrainApplication({});
    const std::string bad = dir.File("missing.tif");
    EXPECT_THROW(viewer->SetTerrainSource({bad}), TerrainError);
    EXPECT_TRUE(viewer->CurrentTerrain().IsSynthetic());
    EXPECT_NO_THROW(viewer->GetPointOnTerrainFromScreenCoords(0.0, 0.0));

    viewer->SetTerrainSource({path});
    EXPECT_EQ(viewer->CurrentTerrain().Name(), path);
    // The old focus is off the new terrain, so the view moves to the new one's middle.
    const auto camera = viewer->GetCamera(true);
    EXPECT_NEAR(camera->FocusPointLatitude, 30.01, 1e-9);
    EXPECT_NEAR(camera->FocusPointLongitude, 100.01, 1e-9);
    const IPointOnTerrainGE centre = viewer->GetPointOnTerrainFromScreenCoords(0.0, 0.0);
    EXPECT_NEAR(centre.Altitude, 1000.0 + 10.0 * 19.5, 1e-3);

    EXPECT_NE(MessageOf([&] { CreateTerrainApplication({bad}); }).find(bad), std::string::npos);
    EXPECT_THROW(CreateTerrainApplication({bad}), EarthError);
}

// A sampling run picks on a worker thread with the DEM opened anew: every answer is the
// viewer's own pick of that moment, bit for bit, however the view moves meanwhile.
TEST(TerrainApplicationSource, PicksForARunAreTheViewersPicksOnAnotherThread)
{
    testing::ScratchDir dir;
    const std::string path = dir.File("ridge.tif");
    std::vector<float> values(60 * 60);
    for (int r = 0; r < 60; ++r)
        for (int c = 0; c < 60; ++c)
            values[r * 60 + c] = 800.0f + 40.0f * std::sin(0.3f * c) * std::cos(0.2f * r) + (r == 30 ? NAN : 0.0f);
    testing::WriteGeoTiff(path, {100.0, 0.0005, 0, 30.03, 0, -0.0005}, 60, 60, values, "EPSG:4326");
    const auto viewer = CreateTerrainApplication({path});
    viewer->SetCameraParams(30.015, 100.015, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 1500, 30, 30, 1.0);

    std::vector<std::optional<IPointOnTerrainGE>> expected;
    for (int i = 0; i <= 20; ++i)
        for (int j = 0; j <= 20; ++j) {
            try {
                expected.push_back(viewer->GetPointOnTerrainFromScreenCoords(j / 10.0 - 1.0, i / 10.0 - 1.0));
            } catch (const NoTerrainError&) {
                expected.push_back(std::nullopt);
            }
        }
    const auto misses = std::count(expected.begin(), expected.end(), std::nullopt);  // the void row, the sky
    ASSERT_GT(misses, 0);
    ASSERT_LT(static_cast<std::size_t>(misses), expected.size() / 2);
    const IApplicationGE::ScreenPicks picks = viewer->PicksForRun();
    viewer->SetCameraParams(30.01, 100.02, 0, AltitudeModeGE::RelativeToGroundAltitudeGE, 900, 0, 0, 1.0);
    for (int run = 0; run < 3; ++run) {  // each on a worker of its own, after the one before
        std::vector<std::optional<IPointOnTerrainGE>> found;
        std::thread worker([&] {
            for (int i = 0; i <= 20; ++i)
                for (int j = 0; j <= 20; ++j)
                    found.push_back(picks(j / 10.0 - 1.0, i / 10.0 - 1.0));
        });
        worker.join();
        ASSERT_EQ(found.size(), expected.size());
        for (std::size_t k = 0; k < found.size(); ++k) {
            ASSERT_EQ(found[k].has_value(), expected[k].has_value()) << run << " " << k;
            if (found[k]) {
                EXPECT_EQ(found[k]->Latitude, expected[k]->Latitude) << run << " " << k;
                EXPECT_EQ(found[k]->Longitude, expected[k]->Longitude) << run << " " << k;
                EXPECT_EQ(found[k]->Altitude, expected[k]->Altitude) << run << " " << k;
            }
        }
    }
}

TEST(TerrainApplicationSource, CoApplicationStartsTheDemonstrationViewer)
{
    const std::unique_ptr<IApplicationGE> viewer = CoApplicationGE();
    ASSERT_NE(viewer->GetMainHwnd(), nullptr);
    EXPECT_NEAR(viewer->GetPointOnTerrainFromScreenCoords(0, 0).Latitude, kSyntheticCentreLatDeg, 1e-9);
}

TEST(TerrainApplicationSource, OutlivesItsWindowBeingDeletedByAnotherParent)
{
    auto viewer = CreateTerrainApplication({});
    {
        QWidget panel;
        viewer->GetMainHwnd()->setParent(&panel, Qt::Widget);
    }
    EXPECT_THROW(viewer->GetMainHwnd(), EarthError);
    EXPECT_NO_THROW(viewer->GetPointOnTerrainFromScreenCoords(0.0, 0.0));
}

}  // namespace
}  // namespace keldarn::earth
