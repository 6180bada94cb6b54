// The main window with the program's own terrain viewer: embedding, going to a view,
// the zone proposal from the map centre, the view saved at close, and changing the
// terrain source.

#include "app/main_window.h"
#include "settings/settings.h"
#include "earth/terrain_application.h"
#include "fakes.h"
#include "geodesy/gauss_kruger.h"
#include "points/point_table_model.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTemporaryDir>
#include <QtTest>

using keldarn::testing::FakeDialogs;

namespace {

struct ViewerWindow {
    ViewerWindow()
    {
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = (dir.path() + QStringLiteral("/Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        env.createViewer = [] { return keldarn::earth::CreateTerrainApplication({}); };
        window = std::make_unique<keldarn::app::TFormMain>(std::move(env));
    }
    QString SettingsText() const
    {
        QFile file(dir.filePath(QStringLiteral("Keldarn.ini")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    void Trigger(QMenu* menu, const QString& text)
    {
        TriggerOnly(menu, text);
        // A terrain source loads in the background; the test goes on once it has loaded.
        QTRY_VERIFY_WITH_TIMEOUT(!window->TerrainLoading(), 120000);
    }
    void TriggerOnly(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                action->trigger();
    }

    QTemporaryDir dir;
    FakeDialogs dialogs;
    std::unique_ptr<keldarn::app::TFormMain> window;
};

// A 5 × 5 grid of 0.01° cells with data everywhere, its samples from 113.505 to
// 113.545 E and 33.205 to 33.245 N; the projection file comes with the test data.
// centreM: the height of the middle sample; NODATA (-9999) makes a hole there.
QString WriteDem(const QTemporaryDir& dir, const char* centreM = "90")
{
    const QString path = dir.filePath(QStringLiteral("hill.asc"));
    QFile dem(path);
    dem.open(QIODevice::WriteOnly);
    dem.write(
        QByteArray("ncols 5\nnrows 5\nxllcorner 113.5\nyllcorner 33.2\ncellsize 0.01\nNODATA_value -9999\n"
                   "10 20 30 20 10\n20 40 60 40 20\n30 60 ") +
        centreM + " 60 30\n20 40 60 40 20\n10 20 30 20 10\n");
    dem.close();
    QFile::copy(QStringLiteral(KELDARN_TEST_DATA_DIR "/earth_dem_small.prj"),
                dir.filePath(QStringLiteral("hill.prj")));
    return path;
}

// The main window as the program starts it on the settings file at `path`: the viewer the
// program makes, on the terrain the file remembers.
std::unique_ptr<keldarn::app::TFormMain> ProgramWindow(const QString& path, FakeDialogs& dialogs)
{
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = path.toStdString();
    env.dialogs = &dialogs;
    env.createViewer = keldarn::app::TerrainViewerFactory(env.settingsPath);
    return std::make_unique<keldarn::app::TFormMain>(std::move(env));
}

}  // namespace

class TerrainViewerTest : public QObject {
    Q_OBJECT

private slots:
    void embedsTheViewerAndProposesTheZone();
    void goesToTheViewAndSavesItAtClose();
    void startsOnTheViewItWasClosedOn();
    void startsBeforeTheRememberedTerrainIsRead();
    void changesTheTerrainSource();
    void loadsANewSourceInTheBackground();
    void refusesADemItCannotRead();
    void samplesTheViewThatFramesANewDem();
    void sampledAndExportedHeightsMatchGdal_data();
    void sampledAndExportedHeightsMatchGdal();
};

void TerrainViewerTest::embedsTheViewerAndProposesTheZone()
{
    ViewerWindow v;
    auto* w = v.window.get();
    QVERIFY(v.dialogs.messages.empty());
    QVERIFY(w->ViewerPresent());
    w->resize(1000, 600);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->ViewerWindow()->parentWidget(), w->PanelGE);
    QCOMPARE(w->ViewerWindow()->geometry(), w->PanelGE->contentsRect());

    QTest::mouseClick(w->Button9, Qt::LeftButton);  // to the default place of the map page
    QTest::mouseClick(w->Button10, Qt::LeftButton);
    QCOMPARE(w->EditLL->text(), QStringLiteral("114.0000"));
    QCOMPARE(w->EditLo->text(), QStringLiteral("113.5538"));
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("中央子午线=114.0000度"));
}

void TerrainViewerTest::goesToTheViewAndSavesItAtClose()
{
    ViewerWindow v;
    auto* w = v.window.get();
    w->EditFLat->setText(QStringLiteral("33.26771"));
    w->EditFLng->setText(QStringLiteral("113.55384"));
    w->EditRange->setText(QStringLiteral("2999.7"));
    w->EditTilt->setText(QStringLiteral("45"));
    w->EditAzi->setText(QStringLiteral("359.99999"));
    QTest::mouseClick(w->Button9, Qt::LeftButton);
    w->EditXdis->setText(QStringLiteral("12.5"));
    w->close();
    const QString text = v.SettingsText();
    for (const char* line : {"Latitude=33.2677", "Longitude=113.5538", "Altitude=0", "Range=3000",
                             "Tilt=45.0000", "Azimuth=360.0000", "Xdis=12.5"})
        QVERIFY2(text.contains(QString::fromUtf8(line)), line);
}

// Two starts and closes without a command: the saved site comes back to the file value for
// value, on the demonstration terrain and on a DEM that the site lies beside (where a fresh
// viewer would frame the DEM instead).
void TerrainViewerTest::startsOnTheViewItWasClosedOn()
{
    QTemporaryDir demDir;
    const QString dem = WriteDem(demDir);
    const QByteArray site = "[GEwin]\nLatitude=33.2812\nLongitude=113.5417\nAltitude=15\nRange=4321\n"
                            "Tilt=30.5000\nAzimuth=123.4567\n";
    for (const QByteArray& terrain : {QByteArray(), "[Terrain]\nSource=" + dem.toUtf8() + "\n"}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Keldarn.ini"));
        const QByteArray saved = site + "[GEzbzh]\nXdis=0\nYdis=0\nRot=0\nSca=0\nHdis=0\n" + terrain;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(saved);
        file.close();
        for (int run = 1; run <= 2; ++run) {
            FakeDialogs dialogs;
            const auto window = ProgramWindow(path, dialogs);
            QTRY_VERIFY_WITH_TIMEOUT(!window->TerrainLoading(), 120000);
            window->close();
            QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.MessageTexts().join('\n')));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), saved);
            file.close();
        }
    }
}

// A terrain remembered from an earlier run does not hold up the start: the window is built
// on the demonstration terrain while the source loads in the background. Esc cancels the
// load; a source too large to show without overviews (200 000² cells, no block written) is
// refused with a warning. Neither close touches the view saved for the source.
void TerrainViewerTest::startsBeforeTheRememberedTerrainIsRead()
{
    QTemporaryDir demDir;
    const QString dem = WriteDem(demDir);
    const QString huge = demDir.filePath(QStringLiteral("huge.tif"));
    {
        GDALAllRegister();
        const char* const options[] = {"TILED=YES", "SPARSE_OK=TRUE", "BIGTIFF=YES", nullptr};
        std::unique_ptr<GDALDataset> dataset(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            huge.toUtf8().constData(), 200000, 200000, 1, GDT_Float32, const_cast<char**>(options)));
        double gt[6] = {113.5, 1e-5, 0, 33.3, 0, -1e-5};
        dataset->SetGeoTransform(gt);
        OGRSpatialReference crs;
        crs.SetFromUserInput("EPSG:4326");
        dataset->SetSpatialRef(&crs);
    }
    struct Case {
        QString source;
        bool escape;
        QString status;   // after the load
        QString warning;  // a text of the one warning, or none
    };
    // The DEM from a loopback server that answers 64 bytes every 2 s: its load waits for Esc.
    QProcess server;
    const auto stopServer = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished();
    });
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(KELDARN_RANGE_HTTP_SERVER), demDir.path()});
    QVERIFY(server.waitForReadyRead(10000));
    const QString stalled = QStringLiteral("http://127.0.0.1:%1/trickle/hill.asc")
                                .arg(QString::fromUtf8(server.readLine()).trimmed());
    const Case cases[] = {{stalled, true, QStringLiteral("已取消读取地形数据。"), QString()},
                          {huge, false, QString(), QStringLiteral("gdaladdo")}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Keldarn.ini"));
        const QByteArray saved =
            "[GEwin]\nLatitude=33.2812\nLongitude=113.5417\nAltitude=15\nRange=4321\n"
            "Tilt=30.5000\nAzimuth=123.4567\n[GEzbzh]\nXdis=0\nYdis=0\nRot=0\nSca=0\nHdis=0\n"
            "[Terrain]\nSource=" +
            c.source.toUtf8() + "\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(saved);
        file.close();
        FakeDialogs dialogs;
        const auto owned = ProgramWindow(path, dialogs);
        keldarn::app::TFormMain& window = *owned;
        const auto* viewer = dynamic_cast<keldarn::earth::TerrainApplication*>(window.Viewer());
        QVERIFY(viewer != nullptr);
        QVERIFY(window.TerrainLoading());
        QCOMPARE(window.StatusBar1->text(), QStringLiteral("正在读取地形数据，请等待..."));
        QCOMPARE(QString::fromStdString(viewer->CurrentTerrain().Name()), QStringLiteral("合成演示地形"));
        if (c.escape) {
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::qWait(500);
            QVERIFY(window.TerrainLoading());
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(!window.TerrainLoading());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window.TerrainLoading(), 60000);
        QTest::qWait(300);  // a cancelled read that arrives late changes nothing
        QCOMPARE(QString::fromStdString(viewer->CurrentTerrain().Name()), QStringLiteral("合成演示地形"));
        QCOMPARE(window.StatusBar1->text(), c.status);
        if (c.warning.isEmpty()) {
            QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.MessageTexts().join('\n')));
        } else {
            QCOMPARE(dialogs.messages.size(), std::size_t{1});
            QVERIFY2(dialogs.MessageTexts().front().contains(c.warning) &&
                         dialogs.MessageTexts().front().contains(huge) &&
                         dialogs.MessageTexts().front().endsWith(QStringLiteral("将使用合成演示地形。")),
                     qPrintable(dialogs.MessageTexts().front()));
        }
        window.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), saved);
        file.close();
    }
}

void TerrainViewerTest::changesTheTerrainSource()
{
    ViewerWindow v;
    auto* w = v.window.get();
    QTemporaryDir demDir;
    const QString dem = WriteDem(demDir);
    v.dialogs.filePaths.push_back(dem);
    v.Trigger(w->MSet, QStringLiteral("地形数据文件..."));
    QVERIFY2(v.dialogs.messages.empty(), qPrintable(v.dialogs.MessageTexts().join('\n')));
    QVERIFY(w->StatusBar1->text().startsWith(QStringLiteral("地形数据：")));
    QCOMPARE(
        QString::fromStdString(keldarn::settings::LoadTerrainSource(v.dir.filePath("Keldarn.ini").toStdString())),
        dem);
    // The view is moved over the new terrain, so its centre has ground under it.
    w->EditLL->setText(QStringLiteral("114"));
    QTest::mouseClick(w->Button7, Qt::LeftButton);
    QVERIFY(v.dialogs.messages.empty());
    QCOMPARE(w->EditLo->text(), QStringLiteral("113.5250"));

    v.Trigger(w->MSet, QStringLiteral("使用合成演示地形"));
    QCOMPARE(keldarn::settings::LoadTerrainSource(v.dir.filePath("Keldarn.ini").toStdString()), std::string());
}

void TerrainViewerTest::loadsANewSourceInTheBackground()
{
    ViewerWindow v;
    auto* w = v.window.get();
    QTemporaryDir demDir;
    v.dialogs.filePaths.push_back(WriteDem(demDir));
    const std::string settings = v.dir.filePath("Keldarn.ini").toStdString();
    v.TriggerOnly(w->MSet, QStringLiteral("地形数据文件..."));
    // The menu returns at once; the terrain in use stays until the new one is ready.
    QVERIFY(w->TerrainLoading());
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("正在读取地形数据，请等待..."));
    QCOMPARE(keldarn::settings::LoadTerrainSource(settings), std::string());
    // A second choice while the first still loads wins, whichever finishes first.
    v.TriggerOnly(w->MSet, QStringLiteral("使用合成演示地形"));
    QTRY_VERIFY_WITH_TIMEOUT(!w->TerrainLoading(), 120000);
    QTest::qWait(200);  // a superseded read that finishes late must change nothing
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("地形数据：合成演示地形"));
    QVERIFY(!QFile::exists(v.dir.filePath(QStringLiteral("Keldarn.ini"))) ||
            keldarn::settings::LoadTerrainSource(settings).empty());
}

void TerrainViewerTest::refusesADemItCannotRead()
{
    ViewerWindow v;
    auto* w = v.window.get();
    QTemporaryDir other;
    const QString bad = other.filePath(QStringLiteral("noise.tif"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not a raster");
    file.close();
    v.dialogs.filePaths.push_back(bad);
    v.Trigger(w->MSet, QStringLiteral("地形数据文件..."));
    QCOMPARE(v.dialogs.messages.size(), std::size_t{1});
    QVERIFY(v.dialogs.messages[0].text.contains(QStringLiteral("noise.tif")));
    QVERIFY(!QFile::exists(v.dir.filePath(QStringLiteral("Keldarn.ini"))));

    // An empty folder has no rasters.
    v.dialogs.messages.clear();
    v.dialogs.filePaths.push_back(other.path() + QStringLiteral("/empty"));
    QDir(other.path()).mkdir(QStringLiteral("empty"));
    v.Trigger(w->MSet, QStringLiteral("地形数据文件夹..."));
    QCOMPARE(v.dialogs.messages.size(), std::size_t{1});
    // The terrain in use stays: the centre of the view still has ground under it.
    w->EditLL->setText(QStringLiteral("114"));
    v.dialogs.messages.clear();
    QTest::mouseClick(w->Button7, Qt::LeftButton);
    QVERIFY(v.dialogs.messages.empty());
}

// A DEM is shown whole, so the edges of the view lie beyond it, and here the centre
// of the view lies on a hole: the view is measured all the same, and the grid points
// without terrain are skipped and counted.
void TerrainViewerTest::samplesTheViewThatFramesANewDem()
{
    ViewerWindow v;
    auto* w = v.window.get();
    QTemporaryDir demDir;
    const QString dem = WriteDem(demDir, "-9999");
    v.dialogs.filePaths.push_back(dem);
    v.Trigger(w->MSet, QStringLiteral("地形数据文件..."));
    w->EditLL->setText(QStringLiteral("114"));
    w->EditPd->setText(QStringLiteral("100"));
    v.Trigger(w->MData, QStringLiteral("自动采集"));
    QVERIFY2(v.dialogs.messages.empty(), qPrintable(v.dialogs.MessageTexts().join('\n')));
    // The view spans the DEM's 0.04° of longitude (3.7 km) and more.
    QVERIFY2(w->EditDy->text().toDouble() > 3700.0, qPrintable(w->EditDy->text()));
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    QCOMPARE(v.dialogs.messages.size(), std::size_t{1});
    const QString done = v.dialogs.messages[0].text;
    const int rows = w->PointTable()->DataRowCount();
    const int skipped = done.section(QStringLiteral("有"), 1).section(QStringLiteral("个点"), 0, 0).toInt();
    QVERIFY2(rows > 0 && skipped > 0, qPrintable(done));
    QCOMPARE(rows + skipped, w->EditPn->text().toInt());
}

// Reads the export (name, description, Y, X, H), takes each point back to latitude and
// longitude (given on the command line, from the inverse projection), carries it into the
// DEM's own coordinate system with osr and compares H with GDAL's own reading of the DEM,
// interpolated bilinearly between sample centres. Prints the count and the largest
// difference in metres.
constexpr const char* kGdalCheck = R"(
import sys
from osgeo import gdal, osr
ds = gdal.Open(sys.argv[1])
gt = ds.GetGeoTransform()
band = ds.GetRasterBand(1).ReadAsArray().astype(float)
wgs84 = osr.SpatialReference()
wgs84.ImportFromEPSG(4326)
wgs84.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
own = osr.SpatialReference(wkt=ds.GetProjection())
own.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
to_own = osr.CoordinateTransformation(wgs84, own)
worst, count = 0.0, 0
for line in open(sys.argv[2], encoding='gb18030'):
    name, desc, y, x, h = line.rstrip('\r\n').split(',')
    lat, lon = [float(v) for v in sys.argv[3 + 2 * count: 5 + 2 * count]]
    e, n, _ = to_own.TransformPoint(lon, lat)
    px = (e - gt[0]) / gt[1] - 0.5
    py = (n - gt[3]) / gt[5] - 0.5
    c, r = int(px), int(py)
    fx, fy = px - c, py - r
    z = (band[r][c] * (1 - fx) * (1 - fy) + band[r][c + 1] * fx * (1 - fy)
         + band[r + 1][c] * (1 - fx) * fy + band[r + 1][c + 1] * fx * fy)
    worst = max(worst, abs(z - float(h)))
    count += 1
print(count, worst)
)";

// A rugged DEM of 300 × 300 cells of 30 m in UTM zone 49 (EPSG:32649) around 30 N, 111 E:
// warping it to geographic coordinates and interpolating again moves heights by metres.
constexpr const char* kWriteUtmDem = R"(
import sys, math
from osgeo import gdal, osr
ds = gdal.GetDriverByName('GTiff').Create(sys.argv[1], 300, 300, 1, gdal.GDT_Float32)
ds.SetGeoTransform((495500.0, 30.0, 0.0, 3324500.0, 0.0, -30.0))
srs = osr.SpatialReference()
srs.ImportFromEPSG(32649)
ds.SetProjection(srs.ExportToWkt())
rows = [[800 + 120 * math.sin(c / 7.0) * math.cos(r / 5.0) + 40 * math.sin((c + 2 * r) / 2.3)
         for c in range(300)] for r in range(300)]
import numpy
ds.GetRasterBand(1).WriteArray(numpy.array(rows, dtype=numpy.float32))
ds = None
)";

bool PythonHasGdal()
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QStringLiteral("from osgeo import gdal")});
    return python.waitForFinished(60000) && python.exitCode() == 0;
}

void TerrainViewerTest::sampledAndExportedHeightsMatchGdal_data()
{
    QTest::addColumn<bool>("projected");
    QTest::addColumn<bool>("overHttp");
    QTest::addColumn<QString>("meridian");
    QTest::newRow("geographic") << false << false << QStringLiteral("114");
    QTest::newRow("UTM, rugged") << true << false << QStringLiteral("111");
    QTest::newRow("UTM, rugged, from an address") << true << true << QStringLiteral("111");
}

void TerrainViewerTest::sampledAndExportedHeightsMatchGdal()
{
    QFETCH(bool, projected);
    QFETCH(bool, overHttp);
    QFETCH(QString, meridian);
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")) || !PythonHasGdal())
        QSKIP("python3 with GDAL is not installed");
    ViewerWindow v;
    auto* w = v.window.get();
    QTemporaryDir demDir;
    QString dem = WriteDem(demDir);
    if (projected) {
        dem = demDir.filePath(QStringLiteral("rugged.tif"));
        QVERIFY(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                  {QStringLiteral("-c"), QString::fromUtf8(kWriteUtmDem), dem}) == 0);
    }
    // The same file from a loopback server that answers range requests, as a COG host does.
    QProcess server;
    const auto stopServer = qScopeGuard([&server] {
        server.kill();
        server.waitForFinished();
    });
    if (overHttp) {
        server.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(KELDARN_RANGE_HTTP_SERVER), demDir.path()});
        QVERIFY(server.waitForReadyRead(10000));
        const QString port = QString::fromUtf8(server.readLine()).trimmed();
        // A wrong address is refused before anything is read; the prompt offers "https://".
        v.dialogs.texts = {QStringLiteral("ftp://127.0.0.1/rugged.tif")};
        v.Trigger(w->MSet, QStringLiteral("地形数据网址..."));
        QCOMPARE(v.dialogs.messages.size(), std::size_t{1});
        QVERIFY(v.dialogs.messages[0].text.contains(QStringLiteral("地形数据网址无效")));
        QVERIFY(v.dialogs.textPrompts.last().endsWith(QStringLiteral("|https://")));
        v.dialogs.messages.clear();
        v.dialogs.texts = {QStringLiteral(" http://127.0.0.1:%1/rugged.tif ").arg(port)};
        v.Trigger(w->MSet, QStringLiteral("地形数据网址..."));
        QCOMPARE(QString::fromStdString(
                     keldarn::settings::LoadTerrainSource(v.dir.filePath("Keldarn.ini").toStdString())),
                 QStringLiteral("http://127.0.0.1:%1/rugged.tif").arg(port));
    } else {
        v.dialogs.filePaths.push_back(dem);
        v.Trigger(w->MSet, QStringLiteral("地形数据文件..."));
    }
    QVERIFY2(v.dialogs.messages.empty(), qPrintable(v.dialogs.MessageTexts().join('\n')));
    // The status line names the DEM whose heights are reported, its CRS and cell size.
    QCOMPARE(w->StatusBar1->text(),
             projected ? QStringLiteral("地形数据：rugged.tif（WGS 84 / UTM zone 49N，格网 30米）")
                       : QStringLiteral("地形数据：hill.asc（WGS 84，格网 0.01度）"));
    w->EditLL->setText(meridian);
    // A view well inside the DEM, so that its edges have ground under them.
    w->EditRange->setText(QStringLiteral("2000"));
    if (!projected) {
        w->EditFLat->setText(QStringLiteral("33.225"));
        w->EditFLng->setText(QStringLiteral("113.525"));
    }
    QTest::mouseClick(w->Button9, Qt::LeftButton);
    w->EditPd->setText(QStringLiteral("100"));
    QTest::mouseClick(w->Button8, Qt::LeftButton);  // measure the view
    QVERIFY2(v.dialogs.messages.empty(), qPrintable(v.dialogs.MessageTexts().join('\n')));
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    QCOMPARE(v.dialogs.messages.size(), std::size_t{1});
    const int rows = w->PointTable()->DataRowCount();
    QVERIFY(rows >= 100);

    const QString exported = demDir.filePath(QStringLiteral("points.dat"));
    v.dialogs.filePaths.push_back(exported);
    QTest::mouseClick(w->Button2, Qt::LeftButton);
    QVERIFY(QFile::exists(exported));

    // The geographic position of each exported point, by the inverse projection.
    QStringList arguments{QStringLiteral("-c"), QString::fromUtf8(kGdalCheck), dem, exported};
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() != 5)
            continue;
        const keldarn::geodesy::GeoPoint geo = keldarn::geodesy::PlaneToGeographic(
            fields[3].toDouble(), fields[2].toDouble(), meridian.toDouble());
        arguments << QString::number(geo.latDeg, 'f', 12) << QString::number(geo.lonDeg, 'f', 12);
    }
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), arguments);
    QVERIFY(python.waitForFinished(60000));
    const QStringList result = QString::fromUtf8(python.readAllStandardOutput()).split(' ');
    QVERIFY2(result.size() == 2, python.readAllStandardError().constData());
    qInfo("%d exported points against GDAL: largest difference %s m", rows, qPrintable(result[1].trimmed()));
    QCOMPARE(result[0].toInt(), rows);
    // Exported to the millimetre; the inverse projection of the rounded X, Y moves a point
    // by under a millimetre, which on this ground changes its height by less than that.
    QVERIFY2(result[1].toDouble() < 0.003, qPrintable(result[1]));
}

QTEST_MAIN(TerrainViewerTest)
#include "terrain_viewer_test.moc"
