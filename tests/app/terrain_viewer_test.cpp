// The main window with the program's own terrain viewer: embedding, going to a view,
// the zone proposal from the map centre, the view saved at close, and changing the
// terrain source.

#include "app/settings.h"
#include "earth/terrain_application.h"
#include "app/main_window.h"
#include "fakes.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
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
QString WriteDem(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("hill.asc"));
    QFile dem(path);
    dem.open(QIODevice::WriteOnly);
    dem.write("ncols 5\nnrows 5\nxllcorner 113.5\nyllcorner 33.2\ncellsize 0.01\n"
              "10 20 30 20 10\n20 40 60 40 20\n30 60 90 60 30\n20 40 60 40 20\n10 20 30 20 10\n");
    dem.close();
    QFile::copy(QStringLiteral(KELDARN_TEST_DATA_DIR "/earth_dem_small.prj"), dir.filePath(QStringLiteral("hill.prj")));
    return path;
}

}  // namespace

class TerrainViewerTest : public QObject {
    Q_OBJECT

private slots:
    void embedsTheViewerAndProposesTheZone();
    void goesToTheViewAndSavesItAtClose();
    void changesTheTerrainSource();
    void refusesADemItCannotRead();
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
    for (const char* line : {"Latitude=33.2677", "Longitude=113.5538", "Altitude=0", "Range=3000", "Tilt=45.0000",
                             "Azimuth=360.0000", "Xdis=12.5"})
        QVERIFY2(text.contains(QString::fromUtf8(line)), line);
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
    QCOMPARE(QString::fromStdString(keldarn::app::LoadTerrainSource(v.dir.filePath("Keldarn.ini").toStdString())),
             dem);
    // The view is moved over the new terrain, so its centre has ground under it.
    w->EditLL->setText(QStringLiteral("114"));
    QTest::mouseClick(w->Button7, Qt::LeftButton);
    QVERIFY(v.dialogs.messages.empty());
    QCOMPARE(w->EditLo->text(), QStringLiteral("113.5250"));

    v.Trigger(w->MSet, QStringLiteral("使用合成演示地形"));
    QCOMPARE(keldarn::app::LoadTerrainSource(v.dir.filePath("Keldarn.ini").toStdString()), std::string());
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

QTEST_MAIN(TerrainViewerTest)
#include "terrain_viewer_test.moc"
