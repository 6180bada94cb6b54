// Every command that shows a message, a question or a file dialog, run with the
// program's own dialogs and answered as a user would: with real key and mouse events on
// the real modal window. After each, the main window must take input again.

#include "app/dialogs.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "cad/drawing_canvas.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "earth/terrain_application.h"
#include "points/point_table_model.h"
#include "real_user.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <optional>

using keldarn::testing::RealUser;

namespace {

// The main window as the program builds it, with the production dialogs, on the
// demonstration terrain or without a viewer, in a scratch folder.
struct RealWindow {
    // folder: where settings and journal lie; a scratch folder of its own when empty.
    // user: who answers the windows shown while the window is built; one of its own when
    // none is given.
    explicit RealWindow(bool withViewer = true, const QString& folder = {}, RealUser* user = nullptr)
        : folder_(folder.isEmpty() ? dir.path() : folder)
    {
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = Path(QStringLiteral("Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        if (withViewer)
            env.createViewer = [] { return keldarn::earth::CreateTerrainApplication({}); };
        env.versionInfo = [] {
            return keldarn::app::VersionInfo{QStringLiteral("产品"), QStringLiteral("版权"),
                                             QStringLiteral("1.0"), QStringLiteral("公司")};
        };
        env.helpPath = Path(QStringLiteral("help.html"));
        // Without a viewer the window says so while it is built. Only one user may watch
        // the modal windows: a second one, with no answers, would close them as unexpected.
        std::optional<RealUser> own;
        if (user == nullptr)
            own.emplace();
        RealUser& starting = user ? *user : *own;
        if (!withViewer)
            starting.First(RealUser::Press(Qt::Key_Return));
        window = std::make_unique<keldarn::app::TFormMain>(std::move(env));
        QVERIFY2(starting.stuck.isEmpty(), qPrintable(starting.stuck.join('|')));
        window->resize(1000, 600);
        window->show();
        window->activateWindow();
    }

    QString Path(const QString& name) const { return QDir(folder_).filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }
    void Trigger(QMenu* menu, const QString& text) const
    {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
                // A terrain source loads in the background; the test goes on once it has loaded.
                QTRY_VERIFY_WITH_TIMEOUT(!window->TerrainLoading(), 30000);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no menu item ") + text));
    }
    int Rows() const { return window->PointTable()->DataRowCount(); }

    QTemporaryDir dir;
    QString folder_;
    keldarn::app::QtDialogs dialogs;
    std::unique_ptr<keldarn::app::TFormMain> window;
};

// The window takes typed keys and real clicks again: typing changes a field, and real
// clicks on >> and << move the export fields between the lists.
void CheckTakesInput(RealWindow& w)
{
    QLineEdit* spacing = w.window->EditPd;
    QTest::mouseClick(spacing, Qt::LeftButton);
    spacing->selectAll();
    QTest::keyClicks(spacing, QStringLiteral("777"));
    QCOMPARE(spacing->text(), QStringLiteral("777"));
    w.window->MOutClick();
    QTest::mouseClick(w.window->SpeedButton5, Qt::LeftButton);
    QCOMPARE(w.window->ListBox2->count(), 0);
    QTest::mouseClick(w.window->SpeedButton1, Qt::LeftButton);
    QCOMPARE(w.window->ListBox2->count(), 5);
}

const QString kOk = QStringLiteral("OK");  // Qt's own buttons speak English without translations

}  // namespace

class RealDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void samplingEndMessageCloses_data();
    void samplingEndMessageCloses();
    void checksAndErrorsAreShown();
    void exportWritesTheChosenFile();
    void exportReplacesTheSeparatorInNames();
    void terrainFromFileAndFolder();
    void drawingConversions();
    void mapLayersFromTheirDialogs();
    void boundaryClickedOnTheMap();
    void controlPointsPastedSolvedAndApplied();
    void projectionChosenWithTheKeyboard();
    void projectionRefusedKeepsTheChoices();
    void aboutAndHelp();
    void recoveryQuestionAtStart();
    void unreadableNationalSystemAtStart();
    void settingsFileThatIsNoneAtStart();
    void closeAsksForRowsNotExported();
};

void RealDialogsTest::samplingEndMessageCloses_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("Enter") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("click OK") << 2;
    QTest::newRow("close the window") << 3;
}

void RealDialogsTest::samplingEndMessageCloses()
{
    QFETCH(int, way);
    const RealUser::Answer answers[] = {RealUser::Press(Qt::Key_Return), RealUser::Press(Qt::Key_Escape),
                                        RealUser::Click(kOk), RealUser::CloseWindow()};
    RealWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.window->EditLL->setText(QStringLiteral("114"));
    w.window->EditPd->setText(QStringLiteral("400"));
    QTest::mouseClick(w.window->Button8, Qt::LeftButton);
    QVERIFY(w.window->EditPn->text().toInt() > 4);

    RealUser user;
    user.Then(answers[way]);
    QTest::mouseClick(w.window->Button5, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->SurveyTaskRunning() && user.AllAnswered(), 30000);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QCOMPARE(user.seen.size(), 1);
    QVERIFY(user.seen[0].startsWith(QStringLiteral("数据采集结束，用时")));
    QCOMPARE(w.Rows(), w.window->EditPn->text().toInt());
    QCOMPARE(w.window->StatusBar1->text(), QString());
    CheckTakesInput(w);
}

void RealDialogsTest::checksAndErrorsAreShown()
{
    RealWindow w;
    RealUser user;
    user.Then(RealUser::Press(Qt::Key_Return))   // no central meridian
        .Then(RealUser::Press(Qt::Key_Escape))   // a spacing that is no number
        .Then(RealUser::Click(kOk))              // the view looks into the sky
        .Then(RealUser::Press(Qt::Key_Return));  // no drawing window
    QTest::mouseClick(w.window->Button5, Qt::LeftButton);
    w.window->EditPd->setText(QStringLiteral("x"));
    QTest::mouseClick(w.window->Button8, Qt::LeftButton);
    w.window->EditTilt->setText(QStringLiteral("85"));
    QTest::mouseClick(w.window->Button9, Qt::LeftButton);
    QTest::mouseClick(w.window->Button8, Qt::LeftButton);
    w.window->EditLL->setText(QStringLiteral("114"));
    w.Trigger(w.window->MConvert, QStringLiteral("KML文件转为CAD图形"));
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QCOMPARE(user.seen.size(), 4);
    QCOMPARE(user.seen[0], QStringLiteral("中央子午线没有设置！"));
    QCOMPARE(user.seen[1], QStringLiteral("“x”不是有效的数值"));
    QVERIFY2(user.seen[2].contains(QStringLiteral("天空")), qPrintable(user.seen[2]));
    QCOMPARE(user.seen[3], QStringLiteral("AutoCAD尚未打开！"));
    w.window->EditPd->setText(QStringLiteral("50"));
    w.window->EditTilt->setText(QStringLiteral("0"));
    QTest::mouseClick(w.window->Button9, Qt::LeftButton);
    CheckTakesInput(w);
}

void RealDialogsTest::exportWritesTheChosenFile()
{
    RealWindow w(false);
    w.window->EditNam1->setText(QStringLiteral("K1"));
    w.window->EditLL->setText(QStringLiteral("114"));
    w.window->EditLat->setText(QStringLiteral("33.27"));
    w.window->EditLon->setText(QStringLiteral("113.55"));
    w.window->EditH1->setText(QStringLiteral("85.12"));
    QTest::mouseClick(w.window->Button1, Qt::LeftButton);
    QCOMPARE(w.Rows(), 1);
    QTest::mouseClick(w.window->SpeedButton1, Qt::LeftButton);

    const QString path = w.Path(QStringLiteral("points.dat"));
    RealUser user;
    user.Then(RealUser::TypeFileName(path))
        .Then(RealUser::Press(Qt::Key_Return))  // 数据导出完毕！
        .Then(RealUser::TypeFileName(path))
        .Then(RealUser::Click(QStringLiteral("否")))  // keep the file
        .Then(RealUser::TypeFileName(path))
        .Then(RealUser::Click(QStringLiteral("是")))
        .Then(RealUser::CloseWindow());
    for (int run = 0; run < 3; ++run)
        QTest::mouseClick(w.window->Button2, Qt::LeftButton);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QCOMPARE(user.seen[1], QStringLiteral("数据导出完毕！"));
    QCOMPARE(user.seen[3], QStringLiteral("文件已存在,覆盖吗?"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.startsWith("K1,") && bytes.endsWith(",85.120\r\n") && bytes.count("\r\n") == 1,
             bytes.constData());
    QCOMPARE(w.window->ProgressBar1->value(), 0);
}

void RealDialogsTest::exportReplacesTheSeparatorInNames()
{
    RealWindow w(false);
    w.window->PointTable()->AppendRow({QStringLiteral("N,1"), QStringLiteral("road,east"),
                                       QStringLiteral("1.000"), QStringLiteral("2.000"),
                                       QStringLiteral("3.000")});
    const QString path = w.Path(QStringLiteral("points.dat"));
    RealUser user;
    user.Then(RealUser::Press(Qt::Key_Escape))  // 取消: nothing else is asked
        .Then([](QWidget* modal) {
            QWidget* field = modal->focusWidget();
            QVERIFY(field != nullptr);
            QTest::keyClicks(field, QStringLiteral("-"));  // over the suggested "_", which starts selected
            QTest::keyClick(field, Qt::Key_Return);        // 替换并导出
        })
        .Then(RealUser::TypeFileName(path))
        .Then(RealUser::Press(Qt::Key_Return));  // 数据导出完毕！
    QTest::mouseClick(w.window->Button2, Qt::LeftButton);
    QVERIFY(!QFile::exists(path));
    QTest::mouseClick(w.window->Button2, Qt::LeftButton);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QCOMPARE(user.seen.value(0), QStringLiteral("分隔符冲突"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("N-1,road-east,2.000,1.000,3.000\r\n"));
    QCOMPARE(w.window->PointTable()->Cell(0, 1), QStringLiteral("N-1"));
    CheckTakesInput(w);
}

void RealDialogsTest::terrainFromFileAndFolder()
{
    RealWindow w;
    const QString dem = QStringLiteral(KELDARN_TEST_DATA_DIR "/earth_dem_small.asc");
    const QString folder = w.Path(QStringLiteral("tiles"));
    QDir().mkpath(folder);
    QFile::copy(dem, folder + QStringLiteral("/a.asc"));
    QFile::copy(QStringLiteral(KELDARN_TEST_DATA_DIR "/earth_dem_small.prj"),
                folder + QStringLiteral("/a.prj"));
    const QString notADem = w.Write(QStringLiteral("bad.tif"), "no raster");

    RealUser user;
    user.Then(RealUser::TypeFileName(notADem))
        .Then(RealUser::Press(Qt::Key_Return))  // the reader's message
        .Then(RealUser::TypeFileName(dem))
        .Then(RealUser::TypeFileName(folder));
    w.Trigger(w.window->MSet, QStringLiteral("地形数据文件..."));
    w.Trigger(w.window->MSet, QStringLiteral("地形数据文件..."));
    const QStringList viewAfterFile{w.window->EditFLat->text(), w.window->EditFLng->text()};
    w.window->EditFLat->setText(QStringLiteral("33.2677"));
    w.Trigger(w.window->MSet, QStringLiteral("地形数据文件夹..."));
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QVERIFY2(user.seen[1].contains(QStringLiteral("bad.tif")), qPrintable(user.seen[1]));
    // The map page shows the view that frames the DEM, whose samples lie at 33.205–33.225 N
    // and 113.505–113.535 E.
    QCOMPARE(viewAfterFile, (QStringList{QStringLiteral("33.2150"), QStringLiteral("113.5200")}));
    QCOMPARE(w.window->EditFLat->text(), QStringLiteral("33.2150"));
    QVERIFY(w.window->StatusBar1->text().startsWith(QStringLiteral("地形数据：")));
    CheckTakesInput(w);
}

// 影像图层...: a source typed into the dialog and confirmed with Enter; one GDAL cannot use
// is said once, and the dialog cancelled with Esc changes nothing. Then a KML over the map.
void RealDialogsTest::mapLayersFromTheirDialogs()
{
    RealWindow w;
    const QString notAnImage = w.Write(QStringLiteral("bad.tif"), "no raster");
    const QString image =
        QStringLiteral(KELDARN_TEST_DATA_DIR "/earth_dem_small.asc");  // grey, but georeferenced
    const auto typeSource = [](const QString& source, Qt::Key confirm) -> RealUser::Answer {
        return [source, confirm](QWidget* modal) {
            auto* field = modal->findChild<QLineEdit*>(QStringLiteral("ImagerySource"));
            QVERIFY(field != nullptr);
            // The source field has the keyboard once the dialog is up.
            QVERIFY(QTest::qWaitForWindowActive(modal));
            QVERIFY(field->hasFocus());
            field->selectAll();
            QTest::keyClicks(field, source);
            QTest::keyClick(field, confirm);
        };
    };
    RealUser user;
    user.Then(typeSource(notAnImage, Qt::Key_Return)).Then(RealUser::Press(Qt::Key_Return));
    w.Trigger(w.window->MSet, QStringLiteral("影像图层..."));
    QTRY_VERIFY_WITH_TIMEOUT(user.AllAnswered(), 10000);
    QVERIFY2(user.seen.value(1).contains(QStringLiteral("bad.tif")), qPrintable(user.seen.join('|')));

    auto* viewer = dynamic_cast<keldarn::earth::TerrainApplication*>(w.window->Viewer());
    QVERIFY(viewer != nullptr);
    user.Then(typeSource(image, Qt::Key_Return)).Then(typeSource(notAnImage, Qt::Key_Escape));
    w.Trigger(w.window->MSet, QStringLiteral("影像图层..."));
    QTRY_VERIFY_WITH_TIMEOUT(viewer->Imagery().Drape() != nullptr, 10000);
    w.Trigger(w.window->MSet, QStringLiteral("影像图层..."));
    QCOMPARE(QString::fromStdString(viewer->Imagery().Settings().source), image);

    user.Then(RealUser::TypeFileName(QStringLiteral(KELDARN_TEST_DATA_DIR "/kml/google_earth_export.kml")));
    w.Trigger(w.window->MFile, QStringLiteral("在地图上显示KML..."));
    QTRY_VERIFY_WITH_TIMEOUT(!viewer->MapLayers().empty(), 10000);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QCOMPARE(user.seen.size(), 5);
    CheckTakesInput(w);
}

void RealDialogsTest::drawingConversions()
{
    RealWindow w(false);
    w.window->EditLL->setText(QStringLiteral("114"));
    w.Trigger(w.window->MConvert, QStringLiteral("新建CAD图形"));
    keldarn::cad::DrawingWindow* drawing = w.window->DrawingHost()->Window();
    QVERIFY(drawing != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(drawing));

    const QString kmlIn = QStringLiteral(KELDARN_TEST_DATA_DIR "/kml/google_earth_export.kml");
    const QString kmlOut = w.Path(QStringLiteral("out.kml"));
    RealUser user;
    user.Then(RealUser::TypeFileName(kmlIn)).Then(RealUser::Press(Qt::Key_Return));
    w.window->activateWindow();
    w.Trigger(w.window->MConvert, QStringLiteral("KML文件转为CAD图形"));
    QCOMPARE(user.seen.value(1), QStringLiteral("绘图结束，请切换到CAD窗口查看结果。"));
    QVERIFY(drawing->Document().Model().Texts().size() > 0);
    // The drawing comes to the front once the message is closed.
    QTRY_COMPARE(QApplication::activeWindow(), drawing);

    // Drawing to KML: the user drags a window over the whole drawing and presses Enter.
    user.Then(RealUser::TypeFileName(kmlOut)).Then([drawing](QWidget* modal) {
        // The drawing window's own commands are free again while the message shows.
        QVERIFY(!drawing->Document().HasSelectionSets());
        RealUser::Click(kOk)(modal);
    });
    QTimer::singleShot(300, drawing, [drawing] {
        QWidget* canvas = &drawing->Canvas();
        const QRect area = canvas->rect().adjusted(2, 2, -2, -2);
        QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, area.topLeft());
        QTest::mouseMove(canvas, area.center());
        QTest::mouseMove(canvas, area.bottomRight());
        QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, area.bottomRight());
        QTest::keyClick(canvas, Qt::Key_Return);
    });
    w.Trigger(w.window->MConvert, QStringLiteral("CAD图形转为KML文件"));
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QVERIFY2(user.seen.value(3).startsWith(QStringLiteral("图形转换完毕")), qPrintable(user.seen.join('|')));
    QFile out(kmlOut);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QVERIFY(out.readAll().contains("<Placemark>"));

    // 显示CAD图形窗口 brings the open drawing to the front, or opens one.
    w.window->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), w.window.get());
    w.Trigger(w.window->MConvert, QStringLiteral("显示CAD图形窗口"));
    QTRY_COMPARE(QApplication::activeWindow(), drawing);
}

// 区域采点... as a user runs it: the dialog answered with real clicks and keys, the boundary
// clicked on the map and ended with a right click, the end message closed with Enter.
void RealDialogsTest::boundaryClickedOnTheMap()
{
    RealWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.window->EditLL->setText(QStringLiteral("114"));
    QWidget* map = w.window->Viewer()->GetRenderHwnd();
    QVERIFY(map != nullptr);
    RealUser user;
    user.Then([](QWidget* modal) {
            QVERIFY(QTest::qWaitForWindowActive(modal));
            auto* onMap = modal->findChild<QAbstractButton*>(QStringLiteral("SourceMap"));
            auto* step = modal->findChild<QLineEdit*>(QStringLiteral("ProductStep"));
            QVERIFY(onMap != nullptr && step != nullptr);
            QTest::mouseClick(onMap, Qt::LeftButton);
            step->selectAll();
            QTest::keyClicks(step, QStringLiteral("200"));
            QTest::keyClick(step, Qt::Key_Return);
        })
        .Then(RealUser::Press(Qt::Key_Return));
    // Once the trace waits for clicks: three corners, one taken back, one more, a right click.
    QTimer clicker;
    int clicks = 0;
    connect(&clicker, &QTimer::timeout, this, [&] {
        if (!w.window->StatusBar1->text().startsWith(QStringLiteral("在地图上左键点选边界顶点")) ||
            clicks > 0)
            return;
        clicks = 1;
        const int width = map->width(), height = map->height();
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(width / 4, height / 4));
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(3 * width / 4, height / 4));
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(width / 2, height / 2));
        QTest::keyClick(map, Qt::Key_Backspace);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(width / 2, 3 * height / 4));
        QTest::mouseClick(map, Qt::RightButton, {}, QPoint(width / 2, height / 2));
    });
    clicker.start(100);
    w.Trigger(w.window->MData, QStringLiteral("区域采点..."));
    QTRY_VERIFY_WITH_TIMEOUT(user.AllAnswered() && !w.window->SurveyTaskRunning(), 30000);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QCOMPARE(user.seen.size(), 2);
    QVERIFY2(user.seen[1].startsWith(QStringLiteral("区域采点结束，共采集")), qPrintable(user.seen[1]));
    QVERIFY(w.Rows() > 10);
    const double x = w.window->PointTable()->Cell(keldarn::points::kXColumn, 1).toDouble();
    QCOMPARE(std::fmod(x, 200.0), 0.0);
    CheckTakesInput(w);
}

// 四参数求解 as a user runs it: points pasted from a spreadsheet with a click on 粘贴, then
// 应用 clicked; the dialog closes and the page holds the values.
void RealDialogsTest::controlPointsPastedSolvedAndApplied()
{
    RealWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    // A shift of (100, −50) m and dH 2 m: the solution is exact.
    QApplication::clipboard()->setText(QStringLiteral("A\t3300000\t500000\t10\t3300100\t499950\t12\n"
                                                      "B\t3301000\t501000\t20\t3301100\t500950\t22\n"
                                                      "C\t3300000\t502000\t30\t3300100\t501950\t32\n"));
    RealUser user;
    user.Then([](QWidget* modal) {
        QVERIFY(QTest::qWaitForWindowActive(modal));
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("PasteRows")), Qt::LeftButton);
        // Pasted into the empty row the dialog opens with, not after it.
        auto* table = modal->findChild<QTableWidget*>(QStringLiteral("ControlTable"));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("A"));
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("ApplyButton")), Qt::LeftButton);
    });
    w.Trigger(w.window->MSet, QStringLiteral("四参数求解..."));
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QCOMPARE(w.window->EditXdis->text(), QStringLiteral("100.0000"));
    QCOMPARE(w.window->EditYdis->text(), QStringLiteral("-50.0000"));
    QCOMPARE(w.window->EditRot->text(), QStringLiteral("0.000000"));
    QCOMPARE(w.window->EditSca->text(), QStringLiteral("0.000000000000"));
    QCOMPARE(w.window->EditHdis->text(), QStringLiteral("2.0000"));
    CheckTakesInput(w);
}

// 椭球与分带...: the ellipsoid chosen with the keyboard and confirmed with Enter; a second
// opening cancelled with Esc changes nothing.
void RealDialogsTest::projectionChosenWithTheKeyboard()
{
    RealWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    RealUser user;
    user.Then([](QWidget* modal) {
            QVERIFY(QTest::qWaitForWindowActive(modal));
            auto* ellipsoid = modal->findChild<QComboBox*>(QStringLiteral("EllipsoidChoice"));
            QVERIFY(ellipsoid != nullptr);
            ellipsoid->setFocus();
            QTest::keyClick(ellipsoid, Qt::Key_Down);  // from the program's own to CGCS2000
            QTest::keyClick(ellipsoid, Qt::Key_Return);
        })
        .Then(RealUser::Press(Qt::Key_Escape));
    w.window->Mset1Click();
    QTest::mouseClick(w.window->Button14, Qt::LeftButton);
    QCOMPARE(w.window->LabelProjection->text(), QStringLiteral("CGCS2000，3°带"));
    QTest::mouseClick(w.window->Button14, Qt::LeftButton);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QCOMPARE(w.window->Projection().ellipsoid, keldarn::geodesy::EllipsoidChoice::Cgcs2000);
    CheckTakesInput(w);
}

// 椭球与分带... refusing a zone number on the proposed 3° meridian keeps the dialog open with
// every choice; the 6° meridian of the map window's centre offered there, 确定 goes through.
// The four parameters of the old plane then bring the offer to solve them again.
void RealDialogsTest::projectionRefusedKeepsTheChoices()
{
    RealWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    w.window->Mset1Click();  // 114.0000 at the demonstration terrain's 113.55° E
    w.window->EditXdis->setText(QStringLiteral("12.5"));
    RealUser user;
    user.Then([](QWidget* modal) {
            QVERIFY(QTest::qWaitForWindowActive(modal));
            const auto choose = [modal](const char* name, Qt::Key key) {
                auto* combo = modal->findChild<QComboBox*>(QLatin1String(name));
                combo->setFocus();
                QTest::keyClick(combo, key);
                return combo;
            };
            QComboBox* ellipsoid = choose("EllipsoidChoice", Qt::Key_Down);  // CGCS2000
            QComboBox* width = choose("ZoneWidthChoice", Qt::Key_Down);      // 6°
            QComboBox* number = choose("ZoneNumberChoice", Qt::Key_End);     // 含带号
            QTest::keyClick(number, Qt::Key_Return);
            QVERIFY2(modal->isVisible(), "closed on a refused choice");
            QCOMPARE(ellipsoid->currentIndex(), 1);
            QCOMPARE(width->currentIndex(), 1);
            QCOMPARE(number->currentIndex(), 2);
            auto* offer = modal->findChild<QPushButton*>(QStringLiteral("OfferedMeridian"));
            QVERIFY(offer->isVisible());
            QVERIFY2(offer->text().contains(QStringLiteral("111.0000")), qPrintable(offer->text()));
            QTest::mouseClick(offer, Qt::LeftButton);
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        })
        .Then(RealUser::Click(QStringLiteral("是")))
        .Then(RealUser::Press(Qt::Key_Escape));
    QTest::mouseClick(w.window->Button14, Qt::LeftButton);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    QCOMPARE(user.seen.last(), QStringLiteral("四参数求解"));
    QCOMPARE(w.window->EditLL->text(), QStringLiteral("111.0000"));
    QCOMPARE(w.window->LabelProjection->text(), QStringLiteral("CGCS2000，6°带，Y含带号"));
    CheckTakesInput(w);
}

void RealDialogsTest::aboutAndHelp()
{
    RealWindow w(false);
    RealUser user;
    user.Then(RealUser::Press(Qt::Key_Escape)).Then(RealUser::Press(Qt::Key_Return));
    w.Trigger(w.window->MHelp, QStringLiteral("关于..."));
    // Without the guide the user is told where it was looked for.
    w.Trigger(w.window->MHelp, QStringLiteral("帮助文档"));
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QCOMPARE(user.seen.size(), 2);
    QCOMPARE(user.seen[0], QStringLiteral("关于..."));
    QVERIFY(user.seen[1].contains(w.Path(QStringLiteral("help.html"))));

    w.Write(QStringLiteral("help.html"),
            "<html><body><h1>使用说明</h1><p><a href=\"#export\">导出</a></p>"
            "<p style=\"margin-top:3000px\"><a name=\"export\"></a>导出数据</p></body></html>");
    w.Trigger(w.window->MHelp, QStringLiteral("帮助文档"));
    keldarn::app::HelpWindow* help = w.window->Help();
    QVERIFY(help != nullptr && help->isVisible());
    QVERIFY(help->Browser()->toPlainText().startsWith(QStringLiteral("使用说明")));
    // A link inside the guide is followed in the window.
    help->Browser()->setSource(help->Browser()->source().resolved(QUrl(QStringLiteral("#export"))));
    QCOMPARE(help->Browser()->source().fragment(), QStringLiteral("export"));
    QVERIFY(help->Browser()->verticalScrollBar()->value() > 0);
    help->close();
    CheckTakesInput(w);
}

// A [Projection] value that does not read is said at start in the program's own message box,
// closed with Enter before the window is shown; the window then uses the program's own projection.
void RealDialogsTest::unreadableNationalSystemAtStart()
{
    QTemporaryDir scratch;
    QFile settings(QDir(scratch.path()).filePath(QStringLiteral("Keldarn.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[Projection]\nEllipsoid=Beijing54\nZoneNumber=maybe\n");
    settings.close();
    RealUser user;
    user.Then(RealUser::Press(Qt::Key_Return));  // the message without a viewer, after it
    RealWindow w(false, scratch.path(), &user);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY2(user.seen.size() == 2, qPrintable(user.seen.join('|')));
    QVERIFY2(user.seen[0].contains(QStringLiteral("ZoneNumber=maybe")), qPrintable(user.seen[0]));
    QVERIFY(w.window->Projection().IsDefault());
    CheckTakesInput(w);
}

// A drawing under the settings file's name is said at start in the program's own message box,
// closed with Enter; the window starts on the defaults and leaves the drawing as it was.
void RealDialogsTest::settingsFileThatIsNoneAtStart()
{
    QTemporaryDir scratch;
    const QByteArray drawing("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n");
    QFile settings(QDir(scratch.path()).filePath(QStringLiteral("Keldarn.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(drawing);
    settings.close();
    RealUser user;
    user.Then(RealUser::Press(Qt::Key_Return));  // the message without a viewer, after it
    {
        RealWindow w(false, scratch.path(), &user);
        QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
        QVERIFY2(user.seen.size() == 2, qPrintable(user.seen.join('|')));
        QVERIFY2(user.seen[0].contains(settings.fileName()) &&
                     user.seen[0].contains(QStringLiteral("“[节名]”")),
                 qPrintable(user.seen[0]));
        CheckTakesInput(w);
    }
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), drawing);
}

void RealDialogsTest::recoveryQuestionAtStart()
{
    QTemporaryDir scratch;
    const QString journal = scratch.filePath(QStringLiteral("Keldarn.journal"));
    const QString kept = scratch.filePath(QStringLiteral("kept.journal"));
    {
        RealWindow first(false, scratch.path());
        first.window->EditNam1->setText(QStringLiteral("P1"));
        first.window->EditLL->setText(QStringLiteral("114"));
        first.window->EditLat->setText(QStringLiteral("33"));
        first.window->EditLon->setText(QStringLiteral("114"));
        first.window->EditH1->setText(QStringLiteral("1"));
        QTest::mouseClick(first.window->Button1, Qt::LeftButton);
        QCOMPARE(first.Rows(), 1);
        // What a run that never ended normally leaves behind.
        QVERIFY(QFile::copy(journal, kept));
    }
    QFile::remove(journal);
    QVERIFY(QFile::copy(kept, journal));
    RealUser user;
    user.Then(RealUser::Click(QStringLiteral("是")));
    RealWindow second(false, scratch.path(), &user);
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY2(user.seen.size() == 2, qPrintable(user.seen.join('|')));
    QCOMPARE(user.seen.value(1),
             QStringLiteral("上次程序没有正常退出。恢复上次未正常退出时的点表数据（1个点）？"));
    QCOMPARE(second.Rows(), 1);
    CheckTakesInput(second);
}

void RealDialogsTest::closeAsksForRowsNotExported()
{
    RealWindow w(false);
    w.window->PointTable()->AppendRow({QStringLiteral("P1"), QString(), QStringLiteral("1.000"),
                                       QStringLiteral("2.000"), QStringLiteral("3.000")});
    RealUser user;
    user.Then(RealUser::Press(Qt::Key_Return))  // 否, the default answer
        .Then(RealUser::Click(QStringLiteral("是")));
    w.window->close();
    QVERIFY(w.window->isVisible());
    QCOMPARE(w.Rows(), 1);
    QVERIFY(QFile::exists(w.Path(QStringLiteral("Keldarn.journal"))));
    CheckTakesInput(w);
    w.window->close();
    QVERIFY2(user.stuck.isEmpty(), qPrintable(user.stuck.join('|')));
    QVERIFY(user.AllAnswered());
    const QString question = QStringLiteral("点表中有1个点尚未导出，退出后将丢失。是否退出？");
    QCOMPARE(user.seen, (QStringList{question, question}));
    QVERIFY(!w.window->isVisible());
    QVERIFY(!QFile::exists(w.Path(QStringLiteral("Keldarn.journal"))));
}

QTEST_MAIN(RealDialogsTest)
#include "real_dialogs_test.moc"
