// Terrain products from the main window over a DEM in a projected CRS (UTM 50N, a tilted
// plane, which bilinear interpolation reproduces exactly): sampling inside a KML boundary,
// a profile along a KML route into the table, contours and elevation points into the
// drawing, and the input they refuse.

#include "app/main_window.h"
#include "app/profile_window.h"
#include "app/survey_task.h"
#include "cad/drawing_document.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "earth/terrain_application.h"
#include "fakes.h"
#include "geodesy/four_param.h"
#include "geodesy/gauss_kruger.h"
#include "points/point_table_model.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <future>
#include <memory>

using keldarn::app::ShapeSource;
using keldarn::app::TerrainProductChoice;
using keldarn::testing::FakeDialogs;

namespace {

// UTM 50N (central meridian 117°, as the survey zone): 200 × 200 cells of 30 m.
constexpr double kWestE = 497000.0, kNorthN = 3303000.0, kCellM = 30.0;
constexpr int kCells = 200;
constexpr double kDhM = 1.5;

double PlaneHeight(double eastingM, double northingM)
{
    return 100.0 + 0.01 * (eastingM - kWestE) + 0.02 * (kNorthN - northingM);
}

std::unique_ptr<OGRCoordinateTransformation> Transform(int fromEpsg, int toEpsg)
{
    OGRSpatialReference from, to;
    from.importFromEPSG(fromEpsg);
    to.importFromEPSG(toEpsg);
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return std::unique_ptr<OGRCoordinateTransformation>(OGRCreateCoordinateTransformation(&from, &to));
}

QString WriteDem(const QTemporaryDir& dir)
{
    GDALAllRegister();
    const QString path = dir.filePath(QStringLiteral("plane.tif"));
    GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.toUtf8().constData(), kCells, kCells, 1, GDT_Float32, nullptr);
    double geoTransform[6] = {kWestE, kCellM, 0.0, kNorthN, 0.0, -kCellM};
    dataset->SetGeoTransform(geoTransform);
    OGRSpatialReference utm;
    utm.importFromEPSG(32650);
    dataset->SetSpatialRef(&utm);
    std::vector<float> heights(static_cast<std::size_t>(kCells) * kCells);
    for (int r = 0; r < kCells; ++r)
        for (int c = 0; c < kCells; ++c)
            heights[static_cast<std::size_t>(r) * kCells + c] =
                static_cast<float>(PlaneHeight(kWestE + (c + 0.5) * kCellM, kNorthN - (r + 0.5) * kCellM));
    if (dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, kCells, kCells, heights.data(), kCells, kCells,
                                            GDT_Float32, 0, 0) != CE_None)
        qFatal("cannot write the DEM");
    GDALClose(dataset);
    return path;
}

// A point of UTM zone 50N (metres), as the cases write them: easting first.
struct UtmPoint {
    double eastingM = 0.0;
    double northingM = 0.0;
};

// A KML placemark of UTM points; closed: a polygon, else a LineString.
QByteArray KmlOf(const std::vector<UtmPoint>& utm, bool closed, const char* name)
{
    auto toWgs84 = Transform(32650, 4326);
    QByteArray coordinates;
    std::vector<UtmPoint> points = utm;
    if (closed)
        points.push_back(utm.front());
    for (const UtmPoint& p : points) {
        double e = p.eastingM, n = p.northingM;
        toWgs84->Transform(1, &e, &n);
        coordinates += QByteArray::number(e, 'f', 9) + ',' + QByteArray::number(n, 'f', 9) + ' ';
    }
    const QByteArray geometry =
        closed ? "<Polygon><outerBoundaryIs><LinearRing><coordinates>" + coordinates +
                     "</coordinates></LinearRing></outerBoundaryIs></Polygon>"
               : "<LineString><coordinates>" + coordinates + "</coordinates></LineString>";
    return QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>") + name + "</name>" +
           geometry + "</Placemark></kml>";
}

struct ProductsWindow {
    // demAtStart: the viewer starts on the DEM, as with a DEM remembered from an earlier
    // run; otherwise the DEM is opened with 地形数据文件....
    explicit ProductsWindow(bool demAtStart = false)
    {
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = dir.filePath(QStringLiteral("Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        const QString dem = WriteDem(dir);
        env.createViewer = [demAtStart, dem] {
            return keldarn::earth::CreateTerrainApplication({demAtStart ? dem.toStdString() : std::string()});
        };
        window = std::make_unique<keldarn::app::TFormMain>(std::move(env));
        if (!demAtStart) {
            dialogs.filePaths.push_back(dem);
            Trigger(window->MSet, QStringLiteral("地形数据文件..."));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window->TerrainLoading(), 30000);
        window->EditLL->setText(QStringLiteral("117"));
        window->EditXdis->setText(QStringLiteral("100"));
        window->EditYdis->setText(QStringLiteral("-200"));
        window->EditRot->setText(QStringLiteral("3.5"));
        window->EditSca->setText(QStringLiteral("0.00001"));
        window->EditHdis->setText(QString::number(kDhM));
        dialogs.messages.clear();
    }
    void Trigger(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                action->trigger();
    }
    // Runs a terrain product and waits for its end.
    void Run(QMenu* menu, const QString& text)
    {
        Trigger(menu, text);
        QTRY_VERIFY_WITH_TIMEOUT(!window->SurveyTaskRunning(), 60000);
        QCoreApplication::processEvents();
    }
    QString Kml(const std::vector<UtmPoint>& utm, bool closed, const char* name = "测区")
    {
        const QString path = dir.filePath(QStringLiteral("shape%1.kml").arg(++files));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(KmlOf(utm, closed, name));
        return path;
    }
    // The height the DEM gives at a survey grid point, found independently of the program's
    // sampling: the grid point back to WGS84, then to UTM with PROJ, then the plane.
    double DemHeightAt(double x, double y) const
    {
        const auto k = keldarn::geodesy::MakeFourParamCoefficients({100.0, -200.0, 3.5, 0.00001, kDhM});
        const auto plane = keldarn::geodesy::FourParamReverse(k, {x, y, 0.0});
        const auto geo = keldarn::geodesy::PlaneToGeographic(plane.x, plane.y, 117.0);
        double e = geo.lonDeg, n = geo.latDeg;
        Transform(4326, 32650)->Transform(1, &e, &n);
        return PlaneHeight(e, n);
    }
    keldarn::points::PointTableModel& Table() { return *window->PointTable(); }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    std::unique_ptr<keldarn::app::TFormMain> window;
    int files = 0;
};

}  // namespace

class TerrainProductsTest : public QObject {
    Q_OBJECT

private slots:
    void samplesInsideAKmlBoundary();
    void refusesBoundariesItCannotSample_data();
    void refusesBoundariesItCannotSample();
    void escCancelsAndKeepsTheRowsTaken();
    void cancelActsWhileAReadStalls();
    void profileGoesIntoTheTableByChainage();
    void contoursAndElevationPointsGoIntoTheDrawing();
};

void TerrainProductsTest::samplesInsideAKmlBoundary()
{
    ProductsWindow p;
    p.dialogs.filePaths.push_back(p.Kml({{498000, 3298000}, {502000, 3298500}, {501000, 3302000}}, true));
    p.dialogs.productChoices.push_back({ShapeSource::KmlFile, QStringLiteral("50"), false});
    p.Run(p.window->MData, QStringLiteral("区域采点..."));
    QCOMPARE(p.dialogs.messages.size(), std::size_t{1});
    QVERIFY2(p.dialogs.messages[0].text.startsWith(QStringLiteral("区域采点结束，共采集")),
             qPrintable(p.dialogs.messages[0].text));
    const int rows = p.Table().DataRowCount();
    // The triangle covers about 7.25 km²: some 2,900 points at 50 m.
    QVERIFY2(rows > 2700 && rows < 3100, qPrintable(QString::number(rows)));
    double worst = 0.0;
    for (int row = 1; row <= rows; ++row) {
        QCOMPARE(p.Table().Cell(keldarn::points::kNameColumn, row), QString::number(row));
        const double x = p.Table().Cell(keldarn::points::kXColumn, row).toDouble();
        const double y = p.Table().Cell(keldarn::points::kYColumn, row).toDouble();
        const double h = p.Table().Cell(keldarn::points::kHColumn, row).toDouble();
        QCOMPARE(std::fmod(x, 50.0), 0.0);
        QCOMPARE(std::fmod(y, 50.0), 0.0);
        worst = std::max(worst, std::abs(h - (p.DemHeightAt(x, y) + kDhM)));
    }
    QVERIFY2(worst <= 0.001, qPrintable(QString::number(worst)));  // the table holds millimetres
}

void TerrainProductsTest::refusesBoundariesItCannotSample_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("crossing");
    QTest::addColumn<bool>("offTheDem");
    QTest::addColumn<QString>("message");
    QTest::newRow("spacing 0") << "0" << false << false << "格网间距必须大于0。";
    QTest::newRow("spacing not a number") << "五" << false << false << "格网间距“五”不是数字。";
    QTest::newRow("self-intersecting")
        << "50" << true << false << "区域边界自相交（边与边交叉），请修改边界后再采点。";
    QTest::newRow("over the DEM's edge") << "50" << false << true << "区域边界有一部分在高程数据范围之外";
    QTest::newRow("over 50 million points") << "0.5" << false << false << "超过5000万个";
}

void TerrainProductsTest::refusesBoundariesItCannotSample()
{
    QFETCH(QString, step);
    QFETCH(bool, crossing);
    QFETCH(bool, offTheDem);
    QFETCH(QString, message);
    ProductsWindow p;
    const double east = offTheDem ? 505000 : 502000;
    p.dialogs.filePaths.push_back(
        crossing ? p.Kml({{498000, 3298000}, {502000, 3302000}, {502000, 3298000}, {498000, 3302000}}, true)
                 : p.Kml({{498000, 3298000}, {east, 3298000}, {east, 3302000}, {498000, 3302000}}, true));
    p.dialogs.productChoices.push_back({ShapeSource::KmlFile, step, false});
    p.Run(p.window->MData, QStringLiteral("区域采点..."));
    QCOMPARE(p.dialogs.messages.size(), std::size_t{1});
    QVERIFY2(p.dialogs.messages[0].text.contains(message), qPrintable(p.dialogs.messages[0].text));
    QCOMPARE(p.Table().DataRowCount(), 0);
}

void TerrainProductsTest::escCancelsAndKeepsTheRowsTaken()
{
    ProductsWindow p;
    p.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.window.get()));
    p.dialogs.filePaths.push_back(
        p.Kml({{497500, 3297500}, {502500, 3297500}, {502500, 3302500}, {497500, 3302500}}, true));
    p.dialogs.productChoices.push_back(
        {ShapeSource::KmlFile, QStringLiteral("1"), false});  // 25 million points
    p.Trigger(p.window->MData, QStringLiteral("区域采点..."));
    QVERIFY(p.window->SurveyTaskRunning());
    QTRY_VERIFY_WITH_TIMEOUT(p.Table().DataRowCount() > 0, 30000);
    // Other commands wait for the run.
    p.Trigger(p.window->MData, QStringLiteral("清空全部数据"));
    QVERIFY(p.Table().DataRowCount() > 0);
    QTest::keyClick(p.window.get(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!p.window->SurveyTaskRunning(), 30000);
    QCoreApplication::processEvents();
    const int rows = p.Table().DataRowCount();
    QVERIFY(rows > 0 && rows < 25'000'000);
    QCOMPARE(p.window->StatusBar1->text(), QStringLiteral("已取消区域采点，保留已采集的%1个点。").arg(rows));
    QCOMPARE(p.Table().Cell(keldarn::points::kNameColumn, rows), QString::number(rows));
    QVERIFY(p.dialogs.messages.empty());
}

// A work blocked in a read that does not return (a stalled server) looks at no cancel flag:
// the task still reports the cancel within a second, and the work's late end is not heard.
void TerrainProductsTest::cancelActsWhileAReadStalls()
{
    std::promise<void> serverAnswers;
    auto answered = serverAnswers.get_future().share();
    keldarn::app::SurveyTask task([answered](keldarn::survey::TaskProgress&) { answered.wait(); });
    int finished = 0;
    bool cancelled = false;
    QObject::connect(&task, &keldarn::app::SurveyTask::finished, [&](std::exception_ptr, bool wasCancelled) {
        ++finished;
        cancelled = wasCancelled;
    });
    QElapsedTimer clock;
    clock.start();
    task.Cancel();
    QTRY_VERIFY_WITH_TIMEOUT(finished == 1, 5000);
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(cancelled);
    serverAnswers.set_value();
    QTRY_VERIFY(!task.IsRunning());
    QTest::qWait(50);
    QCOMPARE(finished, 1);
}

void TerrainProductsTest::profileGoesIntoTheTableByChainage()
{
    ProductsWindow p;
    p.dialogs.filePaths.push_back(
        p.Kml({{498000, 3298000}, {500000, 3299000}, {500500, 3301234}}, false, "渠线"));
    p.dialogs.productChoices.push_back({ShapeSource::KmlFile, QStringLiteral("100"), false});
    p.Run(p.window->MData, QStringLiteral("纵断面..."));
    QVERIFY2(p.dialogs.messages.empty(), qPrintable(p.dialogs.MessageTexts().join('\n')));
    QCOMPARE(p.window->ProfileWindows().size(), std::size_t{1});
    keldarn::app::ProfileWindow* profile = p.window->ProfileWindows().front();
    QVERIFY(profile != nullptr && profile->isVisible());
    QVERIFY(profile->windowTitle().contains(QStringLiteral("渠线")));
    QPushButton* add = nullptr;
    for (QPushButton* button : profile->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("加入点表"))
            add = button;
    QVERIFY(add != nullptr);
    QTest::mouseClick(add, Qt::LeftButton);
    const int rows = p.Table().DataRowCount();
    // About 2236 + 2290 m of route: 45 round stakes and 3 vertices.
    QVERIFY2(rows >= 45 && rows <= 50, qPrintable(QString::number(rows)));
    QCOMPARE(p.Table().Cell(keldarn::points::kNameColumn, 1), QStringLiteral("K0+000.000"));
    QCOMPARE(p.Table().Cell(keldarn::points::kNameColumn, 2), QStringLiteral("K0+100.000"));
    QCOMPARE(p.Table().Cell(keldarn::points::kDescriptionColumn, 2), QStringLiteral("渠线"));
    for (int row = 1; row <= rows; ++row) {
        const double x = p.Table().Cell(keldarn::points::kXColumn, row).toDouble();
        const double y = p.Table().Cell(keldarn::points::kYColumn, row).toDouble();
        const double h = p.Table().Cell(keldarn::points::kHColumn, row).toDouble();
        QVERIFY2(std::abs(h - (p.DemHeightAt(x, y) + kDhM)) <= 0.002, qPrintable(QString::number(row)));
    }
    profile->close();
}

void TerrainProductsTest::contoursAndElevationPointsGoIntoTheDrawing()
{
    ProductsWindow p(true);
    p.Trigger(p.window->MConvert, QStringLiteral("新建CAD图形"));
    keldarn::cad::DrawingWindow* drawing = p.window->DrawingHost()->Window();
    QVERIFY(drawing != nullptr);
    p.dialogs.filePaths.push_back(
        p.Kml({{498000, 3298000}, {502000, 3298000}, {502000, 3302000}, {498000, 3302000}}, true));
    p.dialogs.productChoices.push_back({ShapeSource::KmlFile, QStringLiteral("10"), false});
    p.Run(p.window->MConvert, QStringLiteral("等高线到CAD图形..."));
    QCOMPARE(p.dialogs.messages.size(), std::size_t{1});
    QVERIFY2(p.dialogs.messages[0].text.contains(QStringLiteral("条等高线")),
             qPrintable(p.dialogs.messages[0].text));
    const keldarn::cad::DrawingModel& model = drawing->Document().Model();
    // Heights from 140 to 240 m in the square (+ dH): ten levels of 10 m.
    QVERIFY(model.Polylines().size() >= 9);
    int index = 0;
    for (const auto& line : model.Polylines()) {
        const double level = line.elevation;
        QCOMPARE(std::fmod(level, 10.0), 0.0);
        const std::string& layer = model.Styles()[line.style].layer;
        const bool isIndex = std::fmod(level, 50.0) == 0.0;
        QCOMPARE(QString::fromStdString(layer),
                 isIndex ? QStringLiteral("计曲线") : QStringLiteral("首曲线"));
        index += isIndex ? 1 : 0;
        // Every vertex lies on its level.
        const auto xy = model.VerticesOf(line);
        for (std::size_t k = 0; k < xy.size(); k += 2)
            QVERIFY(std::abs(p.DemHeightAt(xy[k + 1], xy[k]) + kDhM - level) < 0.01);
    }
    QVERIFY(index >= 1);
    QVERIFY(!model.Texts().empty());  // the index contours' labels

    p.dialogs.messages.clear();
    p.Table().AppendRows({{QStringLiteral("1"), QString(), QStringLiteral("3300000.000"),
                           QStringLiteral("500000.000"), QStringLiteral("123.456")},
                          {QStringLiteral("2"), QString(), QStringLiteral("甲"), QStringLiteral("500010.000"),
                           QStringLiteral("1.000")}});
    const std::size_t textsBefore = model.Texts().size();
    p.Trigger(p.window->MConvert, QStringLiteral("高程点到CAD图形"));
    QCOMPARE(p.dialogs.messages.size(), std::size_t{1});
    QVERIFY(p.dialogs.messages[0].text.contains(QStringLiteral("已把1个高程点画入CAD图形")));
    QVERIFY(p.dialogs.messages[0].text.contains(QStringLiteral("有1行")));
    QCOMPARE(model.Points().size(), std::size_t{1});
    QCOMPARE(model.Points()[0].z, 123.456);
    QCOMPARE(model.Points()[0].x, 500000.0);
    QCOMPARE(model.Texts().size(), textsBefore + 1);
    QCOMPARE(QString::fromUtf8(model.TextOf(model.Texts().back())), QStringLiteral("123.46"));
    drawing->Document().ChangesShown();
}

QTEST_MAIN(TerrainProductsTest)
#include "terrain_products_test.moc"
