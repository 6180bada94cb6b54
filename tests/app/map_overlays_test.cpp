// The map of the main window: imagery draped on the terrain (a GeoTIFF, and XYZ tiles cut
// from it and served on the loopback interface), the table's points as markers, and KML
// overlays; a source that cannot be used is refused once, with its name.

#include "app/main_window.h"
#include "app/map_points.h"
#include "earth/terrain_application.h"
#include "fakes.h"
#include "geodesy/survey_conversion.h"
#include "points/point_table_model.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using keldarn::testing::FakeDialogs;

namespace {

// The orthophoto: WGS84 cells of 0.0001° over 113.53..113.58 E, 33.25..33.29 N, squares of
// 50 × 50 cells, each square in one colour of the palette by its column and row.
constexpr double kWestDeg = 113.53, kNorthDeg = 33.29, kCellDeg = 0.0001;
constexpr int kColumns = 500, kRows = 400, kSquare = 50;
const QRgb kPalette[] = {qRgb(220, 30, 30),  qRgb(30, 200, 40),  qRgb(40, 60, 230),
                         qRgb(240, 230, 40), qRgb(30, 220, 220), qRgb(230, 40, 220)};

QRgb SquareColour(int squareColumn, int squareRow)
{
    return kPalette[(squareColumn * 2 + squareRow * 3) % std::size(kPalette)];
}

void WriteOrthophoto(const QString& path)
{
    GDALAllRegister();
    GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.toUtf8().constData(), kColumns, kRows, 3, GDT_Byte, nullptr);
    double transform[6] = {kWestDeg, kCellDeg, 0.0, kNorthDeg, 0.0, -kCellDeg};
    dataset->SetGeoTransform(transform);
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    dataset->SetSpatialRef(&wgs84);
    std::vector<std::uint8_t> band(static_cast<size_t>(kColumns) * kRows);
    for (int b = 0; b < 3; ++b) {
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c) {
                const QRgb colour = SquareColour(c / kSquare, r / kSquare);
                band[static_cast<size_t>(r) * kColumns + c] =
                    static_cast<std::uint8_t>(b == 0   ? qRed(colour)
                                              : b == 1 ? qGreen(colour)
                                                       : qBlue(colour));
            }
        QCOMPARE(dataset->GetRasterBand(b + 1)->RasterIO(GF_Write, 0, 0, kColumns, kRows, band.data(),
                                                         kColumns, kRows, GDT_Byte, 0, 0),
                 CE_None);
    }
    GDALClose(dataset);
}

bool SameColour(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

struct MapWindow {
    MapWindow()
    {
        // Service tiles go to a cache folder of the test's own.
        qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
        Open();
    }
    // A new main window on the same settings file, as the next run of the program.
    void Open()
    {
        window.reset();
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = dir.filePath(QStringLiteral("Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        env.createViewer = [this]() -> std::unique_ptr<keldarn::earth::IApplicationGE> {
            auto application = keldarn::earth::CreateTerrainApplication({});
            viewer = application.get();
            return application;
        };
        window = std::make_unique<keldarn::app::TFormMain>(std::move(env));
        window->resize(1300, 800);
        window->show();
    }
    void Trigger(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                action->trigger();
    }
    // Waits until the imagery has been read for the view as it is now.
    void WaitForImagery()
    {
        QTRY_VERIFY_WITH_TIMEOUT(viewer->Imagery().Drape() != nullptr, 30000);
        QTest::qWait(400);  // the view image is asked for once the camera rests
        QTRY_VERIFY_WITH_TIMEOUT(!viewer->Imagery().IsReading(), 30000);
    }
    QImage Frame()
    {
        auto* render = static_cast<keldarn::earth::TerrainRenderWidget*>(viewer->GetRenderHwnd());
        render->repaint();
        return render->Frame();
    }
    keldarn::points::PointTableModel& Table()
    {
        return *static_cast<keldarn::points::PointTableModel*>(window->StringGrid1->model());
    }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    std::unique_ptr<keldarn::app::TFormMain> window;
    keldarn::earth::TerrainApplication* viewer = nullptr;
};

}  // namespace

class MapOverlaysTest : public QObject {
    Q_OBJECT

private slots:
    void drapesTheImageryWhereItLies_data();
    void drapesTheImageryWhereItLies();
    void refusesAnUnusableSourceOnce_data();
    void refusesAnUnusableSourceOnce();
    void showsTheTablesPointsAndGoesToThem();
    void showsAndRemovesKmlOverlays();
    void markersFollowATableThatGrowsPastAChunk();
    void tablePointsSwitchIsKept_data();
    void tablePointsSwitchIsKept();
};

void MapOverlaysTest::drapesTheImageryWhereItLies_data()
{
    QTest::addColumn<bool>("tiles");
    QTest::newRow("GeoTIFF") << false;
    QTest::newRow("XYZ tiles on loopback") << true;
}

void MapOverlaysTest::drapesTheImageryWhereItLies()
{
    QFETCH(bool, tiles);
    MapWindow m;
    QVERIFY(m.viewer != nullptr);
    const QString photo = m.dir.filePath(QStringLiteral("photo.tif"));
    WriteOrthophoto(photo);
    QString source = photo;
    QProcess server;
    const auto stopServer = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished();
    });
    if (tiles) {
        const QString tileDir = m.dir.filePath(QStringLiteral("tiles"));
        QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral("/usr/bin/gdal2tiles.py"), QStringLiteral("-q"),
                                    QStringLiteral("--xyz"), QStringLiteral("-z"), QStringLiteral("12-15"),
                                    QStringLiteral("-w"), QStringLiteral("none"),
                                    QStringLiteral("--processes=1"), photo, tileDir}),
                 0);
        server.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(KELDARN_RANGE_HTTP_SERVER), tileDir});
        QVERIFY(server.waitForReadyRead(10000));
        const QString port = QString::fromUtf8(server.readLine()).trimmed();
        source = QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png#maxzoom=15").arg(port);
    }
    m.dialogs.imageryChoices = {{source, 100, true}};
    m.Trigger(m.window->MSet, QStringLiteral("影像图层..."));
    m.viewer->SetCameraParams(33.27, 113.555, 0.0, keldarn::earth::AltitudeModeGE::RelativeToGroundAltitudeGE,
                              4000.0, 0.0, 0.0, 1.0);
    m.WaitForImagery();
    QVERIFY2(m.dialogs.messages.empty(), qPrintable(m.dialogs.MessageTexts().join('|')));
    const QImage frame = m.Frame();
    const keldarn::earth::Camera camera = m.viewer->ViewCamera();
    QCOMPARE(frame.size(), QSize(camera.WidthPx(), camera.HeightPx()));
    // The middle of every square in view, away from the scale bar, the north arrow and the
    // readout line, shows the square's colour (haze at 4 km mixes in a little).
    int checked = 0;
    QStringList wrong;
    for (int row = 0; row < kRows / kSquare; ++row)
        for (int column = 0; column < kColumns / kSquare; ++column) {
            const double latDeg = kNorthDeg - (row + 0.5) * kSquare * kCellDeg;
            const double lonDeg = kWestDeg + (column + 0.5) * kSquare * kCellDeg;
            const auto ground = m.viewer->CurrentTerrain().ElevationM(latDeg, lonDeg);
            const auto pixel =
                ground ? keldarn::earth::MarkerPixel(camera, latDeg, lonDeg, *ground) : std::nullopt;
            if (!pixel || pixel->x() < 100 || pixel->y() < 100 || pixel->x() > frame.width() - 100 ||
                pixel->y() > frame.height() - 100)
                continue;
            ++checked;
            const QRgb shown = frame.pixel(static_cast<int>(pixel->x()), static_cast<int>(pixel->y()));
            if (!SameColour(shown, SquareColour(column, row), 28))
                wrong << QStringLiteral("(%1,%2): %3 instead of %4")
                             .arg(column)
                             .arg(row)
                             .arg(shown, 6, 16)
                             .arg(SquareColour(column, row), 6, 16);
        }
    QVERIFY2(checked >= 20, qPrintable(QString::number(checked)));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));

    // Hidden, the relief shows again; the choice is kept in the settings file.
    m.dialogs.imageryChoices = {{source, 100, false}};
    m.Trigger(m.window->MSet, QStringLiteral("影像图层..."));
    QVERIFY(m.viewer->Imagery().Drape() == nullptr);
    QCOMPARE(QString::fromStdString(
                 keldarn::settings::LoadImagerySettings(m.dir.filePath("Keldarn.ini").toStdString()).source),
             source);
}

void MapOverlaysTest::refusesAnUnusableSourceOnce_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("named");
    QTest::newRow("missing file") << QStringLiteral("/no/such/photo.tif") << QStringLiteral("photo.tif");
    QTest::newRow("template without {y}")
        << QStringLiteral("http://127.0.0.1:9/{z}/{x}.png") << QStringLiteral("{z}/{x}.png");
}

void MapOverlaysTest::refusesAnUnusableSourceOnce()
{
    QFETCH(QString, source);
    QFETCH(QString, named);
    MapWindow m;
    m.dialogs.imageryChoices = {{source, 80, true}};
    m.Trigger(m.window->MSet, QStringLiteral("影像图层..."));
    QTRY_VERIFY_WITH_TIMEOUT(!m.dialogs.messages.empty(), 10000);
    QTest::qWait(300);
    QCOMPARE(m.dialogs.messages.size(), std::size_t{1});
    QVERIFY2(m.dialogs.messages[0].text.contains(named), qPrintable(m.dialogs.messages[0].text));
    QVERIFY(m.viewer->Imagery().Drape() == nullptr);
    QVERIFY(!m.Frame().isNull());  // the terrain view goes on
    QCOMPARE(m.window->StatusBar1->text(), QStringLiteral("影像图层无法使用"));
    // Another choice: the status line no longer speaks of the refused source.
    m.dialogs.imageryChoices = {{QString(), 80, true}};
    m.Trigger(m.window->MSet, QStringLiteral("影像图层..."));
    QCOMPARE(m.window->StatusBar1->text(), QString());
}

void MapOverlaysTest::showsTheTablesPointsAndGoesToThem()
{
    MapWindow m;
    m.window->EditLL->setText(QStringLiteral("114"));
    m.window->EditXdis->setText(QStringLiteral("120.5"));
    m.window->EditYdis->setText(QStringLiteral("-80.25"));
    m.window->EditRot->setText(QStringLiteral("3.5"));
    m.window->EditSca->setText(QStringLiteral("0.00002"));
    const auto transform = keldarn::geodesy::MakeFourParamCoefficients(
        keldarn::geodesy::ReadFourParameters({"120.5", "-80.25", "3.5", "0.00002", "0"}));
    const double places[][2] = {{33.2677, 113.5538}, {33.2702, 113.5601}, {33.2611, 113.5490}};
    for (int k = 0; k < 3; ++k) {
        const auto grid =
            keldarn::geodesy::GeographicToGrid(places[k][0], places[k][1], 100.0, 114.0, transform);
        m.Table().AppendRow({QStringLiteral("点%1").arg(k + 1), QString(), QString::number(grid.x, 'f', 4),
                             QString::number(grid.y, 'f', 4), QStringLiteral("100")});
    }
    m.Table().AppendRow({QStringLiteral("无坐标"), QString(), QStringLiteral("abc"), QString(), QString()});
    QTRY_VERIFY(!m.viewer->MapLayers().empty());
    std::vector<keldarn::earth::MapMarker> shown;
    for (const auto& layer : m.viewer->MapLayers())
        shown.insert(shown.end(), layer->markers.begin(), layer->markers.end());
    QCOMPARE(shown.size(), std::size_t{3});
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(shown[k].name, QStringLiteral("点%1").arg(k + 1));
        QVERIFY(std::abs(shown[k].latDeg - places[k][0]) < 1e-8);
        QVERIFY(std::abs(shown[k].lonDeg - places[k][1]) < 1e-8);
    }
    // The current row is highlighted; a double click on it goes to its point.
    QTableView* table = m.window->StringGrid1;
    const QModelIndex second = m.Table().index(1, 0);
    table->setCurrentIndex(second);
    QVERIFY(m.viewer->MapLayers().back()->markers.front().selected);
    QCOMPARE(m.viewer->MapLayers().back()->markers.front().name, QStringLiteral("点2"));
    // As a real double click arrives: a press and release, then the second press.
    const QPoint cell = table->visualRect(second).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
    const auto camera = m.viewer->GetCamera(true);
    QVERIFY(std::abs(camera->FocusPointLatitude - places[1][0]) < 1e-7);
    QVERIFY(std::abs(camera->FocusPointLongitude - places[1][1]) < 1e-7);
    // Other parameters move every marker; removing a row takes its marker away.
    m.window->EditXdis->setText(QStringLiteral("0"));
    m.Table().RemoveGridRow(1);
    QTRY_VERIFY([&] {
        std::size_t count = 0;
        for (const auto& layer : m.viewer->MapLayers())
            for (const auto& marker : layer->markers)
                count += marker.selected ? 0 : 1;
        return count == 2;
    }());
}

void MapOverlaysTest::showsAndRemovesKmlOverlays()
{
    MapWindow m;
    m.dialogs.filePaths = {QStringLiteral(KELDARN_TEST_DATA_DIR "/kml/google_earth_export.kml"),
                           m.dir.filePath(QStringLiteral("missing.kml"))};
    m.Trigger(m.window->MFile, QStringLiteral("在地图上显示KML..."));
    QTRY_VERIFY_WITH_TIMEOUT(!m.viewer->MapLayers().empty(), 10000);
    const auto& overlay = *m.viewer->MapLayers().front();
    QVERIFY(!overlay.markers.empty());
    QVERIFY(!overlay.lines.empty());
    QCOMPARE(overlay.markers.front().name, QStringLiteral("控制点 K1"));
    // A file that cannot be read is said once; the overlay shown stays.
    m.Trigger(m.window->MFile, QStringLiteral("在地图上显示KML..."));
    QTRY_VERIFY_WITH_TIMEOUT(!m.dialogs.messages.empty(), 10000);
    QVERIFY2(m.dialogs.messages[0].text.contains(QStringLiteral("missing.kml")),
             qPrintable(m.dialogs.messages[0].text));
    QCOMPARE(m.viewer->MapLayers().size(), std::size_t{1});
    m.Trigger(m.window->MFile, QStringLiteral("移除地图上的KML"));
    QVERIFY(m.viewer->MapLayers().empty());
}

void MapOverlaysTest::markersFollowATableThatGrowsPastAChunk()
{
    using keldarn::app::MapPoints;
    keldarn::points::PointTableModel table;
    const MapPoints::Frame frame{114.0, keldarn::geodesy::MakeFourParamCoefficients({}), {}};
    const auto append = [&](int count) {
        std::vector<keldarn::points::RowCells> rows;
        for (int k = 0; k < count; ++k) {
            const int n = table.DataRowCount() + k;
            const auto grid =
                keldarn::geodesy::GeographicToGrid(33.2 + n * 1e-5, 113.5, 0.0, 114.0, frame.Transform());
            rows.push_back({QString::number(n + 1),
                            {},
                            QString::number(grid.x, 'f', 4),
                            QString::number(grid.y, 'f', 4),
                            {}});
        }
        table.AppendRows(rows);
    };
    const auto markers = [](const MapPoints& points) {
        std::vector<keldarn::earth::MapMarker> all;
        for (const auto& layer : points.Layers())
            all.insert(all.end(), layer->markers.begin(), layer->markers.end());
        return all;
    };
    MapPoints points;
    append(MapPoints::kChunkRows + 10);
    QVERIFY(points.Update(table, frame));
    QCOMPARE(points.Layers().size(), std::size_t{2});
    const auto firstChunk = points.Layers().front();
    // Rows appended: the full chunk stays, the partial one is made again with them.
    append(MapPoints::kChunkRows);
    QVERIFY(points.Update(table, frame));
    QVERIFY(!points.Update(table, frame));
    QCOMPARE(points.Layers().front(), firstChunk);
    const auto all = markers(points);
    QCOMPARE(static_cast<int>(all.size()), table.DataRowCount());
    for (int k : {0, MapPoints::kChunkRows - 1, MapPoints::kChunkRows, table.DataRowCount() - 1}) {
        QCOMPARE(all[k].name, QString::number(k + 1));
        QVERIFY(std::abs(all[k].latDeg - (33.2 + k * 1e-5)) < 1e-8);
    }
    // An edited table, or another frame, is converted whole.
    points.Invalidate();
    QVERIFY(points.Update(table, frame));
    QVERIFY(points.Layers().front() != firstChunk);
    QVERIFY(points.Update(table, std::nullopt));
    QVERIFY(markers(points).empty());
}

void MapOverlaysTest::tablePointsSwitchIsKept_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("labelled");
    QTest::newRow("points and names") << "TablePointsLabels"
                                      << "Labels" << true << true;
    QTest::newRow("points only") << "TablePointsMarkers"
                                 << "Markers" << true << false;
    QTest::newRow("off") << "TablePointsOff"
                         << "Off" << false << false;
}

// 设置 → 地图上的点表: the map follows the choice at once, and the next run starts with it.
void MapOverlaysTest::tablePointsSwitchIsKept()
{
    QFETCH(QString, action);
    QFETCH(QString, word);
    QFETCH(bool, shown);
    QFETCH(bool, labelled);
    MapWindow m;
    const auto grid = keldarn::geodesy::GeographicToGrid(33.2677, 113.5538, 100.0, 114.0,
                                                         keldarn::geodesy::MakeFourParamCoefficients({}));
    const auto addPoint = [&] {
        m.window->EditLL->setText(QStringLiteral("114"));
        m.Table().AppendRow({QStringLiteral("点1"), QString(), QString::number(grid.x, 'f', 3),
                             QString::number(grid.y, 'f', 3), QStringLiteral("100")});
    };
    const auto mapShows = [&] {
        if (m.viewer->MapLayers().empty())
            return !shown;
        const auto& layer = *m.viewer->MapLayers().front();
        return shown && layer.markers.size() == 1 && layer.labelled == labelled;
    };
    addPoint();
    QTRY_VERIFY(!m.viewer->MapLayers().empty());
    // From another choice, so that every one is written.
    m.window->findChild<QAction*>(QStringLiteral("TablePointsOff"))->trigger();
    m.window->findChild<QAction*>(action)->trigger();
    QVERIFY(mapShows());
    QFile file(m.dir.filePath(QStringLiteral("Keldarn.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).contains(QStringLiteral("[Map]\nTablePoints=") + word));

    m.window->N3Click();  // nothing left for the next run to recover
    m.Open();
    QVERIFY(m.window->findChild<QAction*>(action)->isChecked());
    addPoint();
    QTest::qWait(400);  // table changes reach the map after a moment
    QVERIFY(mapShows());
}

QTEST_MAIN(MapOverlaysTest)
#include "map_overlays_test.moc"
