// Commands that talk to the terrain viewer: going to a view, picking a point,
// measuring the view and sampling a grid over it.

#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"
#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <chrono>
#include <thread>

using keldarn::earth::IPointOnTerrainGE;
using keldarn::testing::WindowFixture;

namespace {

// A view 0.01° tall and 0.02° wide around 33.27 N, 113.55 E, elevation rising eastwards.
IPointOnTerrainGE PlaneTerrain(double sx, double sy)
{
    return {33.27 + 0.005 * sy, 113.55 + 0.01 * sx, 100.0 + 10.0 * sx};
}

void ShowWithViewer(WindowFixture& f)
{
    f.window->resize(1000, 600);  // the offscreen screen is 800 by 600
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.viewer->terrain = PlaneTerrain;
}

}  // namespace

class CaptureCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void goesToTheTypedView();
    void goToStopsAtTheFirstBadField();
    void pickTakesTheTerrainUnderThePress();
    void pickOutsideTheViewOnlyEndsPickMode();
    void pickNeedsACentralMeridian();
    void refreshMeasuresTheView();
    void refreshWithoutViewerEstimatesFromTheFields();
    void samplesTheGridIntoTheTable();
    void samplingSkipsPointsWithoutTerrain();
    void samplingKeepsRowsBeforeAFailure();
    void samplingRunsInTheBackgroundUntilEsc();
    void samplingRefusesAGridThatCannotBeFormed();
};

void CaptureCommandsTest::goesToTheTypedView()
{
    WindowFixture f(true);
    QTest::mouseClick(f.window->Button9, Qt::LeftButton);
    QCOMPARE(f.viewer->lastCameraParams, (std::vector<double>{33.2677, 113.5538, 0, 1, 3000, 0, 0, 1.0}));
    f.window->EditFLat->setText(QStringLiteral(" 33.5 "));
    f.window->EditAzi->setText(QStringLiteral("-1e1"));
    QTest::mouseClick(f.window->Button9, Qt::LeftButton);
    QCOMPARE(f.viewer->lastCameraParams, (std::vector<double>{33.5, 113.5538, 0, 1, 3000, 0, -10, 1.0}));

    WindowFixture noViewer;
    noViewer.dialogs.messages.clear();
    noViewer.window->EditFAlt->clear();
    QTest::mouseClick(noViewer.window->Button9, Qt::LeftButton);
    QVERIFY(noViewer.dialogs.messages.empty());
}

void CaptureCommandsTest::goToStopsAtTheFirstBadField()
{
    WindowFixture f(true);
    f.window->EditFAlt->clear();
    f.window->EditTilt->setText(QStringLiteral("abc"));
    QTest::mouseClick(f.window->Button9, Qt::LeftButton);
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("“”不是有效的数值")});
    // A longitude beyond ±180° is refused as well, the camera unmoved.
    f.dialogs.messages.clear();
    f.window->EditFAlt->setText(QStringLiteral("0"));
    f.window->EditTilt->setText(QStringLiteral("0"));
    f.window->EditFLng->setText(QStringLiteral("181"));
    QTest::mouseClick(f.window->Button9, Qt::LeftButton);
    QCOMPARE(f.dialogs.MessageTexts(),
             QStringList{QStringLiteral("经度 181 超出范围：经度应在 -180 到 180 度之间")});
    QVERIFY(f.viewer->lastCameraParams.empty());
}

void CaptureCommandsTest::pickTakesTheTerrainUnderThePress()
{
    WindowFixture f(true);
    ShowWithViewer(f);
    auto* w = f.window.get();
    w->EditLL->setText(QStringLiteral("114"));
    w->EditXdis->setText(QStringLiteral("10"));
    w->EditHdis->setText(QStringLiteral("-1.5"));
    QWidget* render = f.viewer->renderWindow;
    render->setFixedSize(400, 300);
    f.viewer->mainWindow->layout()->setAlignment(render, Qt::AlignLeft | Qt::AlignTop);
    QApplication::processEvents();

    QTest::mouseClick(w->Button6, Qt::LeftButton);
    QVERIFY(w->PickMode());
    w->FormMouseDown(Qt::RightButton, Qt::NoModifier, render->mapTo(w, QPoint(200, 150)));
    QVERIFY(!w->PickMode());
    QCOMPARE(f.viewer->queries, (std::vector<keldarn::earth::ScreenPoint>{{.sx = 0.0, .sy = 0.0}}));
    const keldarn::geodesy::PlanePoint plane = keldarn::geodesy::GeographicToPlane(33.27, 113.55, 114.0);
    QCOMPARE(w->EditX->text(), QString::fromStdString(keldarn::geodesy::FormatFixed(plane.x + 10.0, 3)));
    QCOMPARE(w->EditY->text(), QString::fromStdString(keldarn::geodesy::FormatFixed(plane.y, 3)));
    QCOMPARE(w->EditH->text(), QStringLiteral("98.500"));

    // A second pick before adoption replaces the first.
    QTest::mouseClick(w->Button6, Qt::LeftButton);
    w->FormMouseDown(Qt::LeftButton, Qt::NoModifier, render->mapTo(w, QPoint(100, 75)));
    QCOMPARE(f.viewer->queries.back(), (keldarn::earth::ScreenPoint{.sx = -0.5, .sy = 0.5}));
    QCOMPARE(w->EditH->text(), QStringLiteral("93.500"));
    QTest::mouseClick(w->Button6, Qt::LeftButton);
    w->FormMouseDown(Qt::MiddleButton, Qt::NoModifier, render->mapTo(w, QPoint(0, 0)));
    QCOMPARE(f.viewer->queries.back(), (keldarn::earth::ScreenPoint{.sx = -1.0, .sy = 1.0}));
    QCOMPARE(w->PointTable()->RowCount(), 1);

    // Pick mode holds the mouse: a real press on the view reaches the main window.
    QTest::mouseClick(w->Button6, Qt::LeftButton);
    QTest::mousePress(render, Qt::LeftButton, Qt::NoModifier, QPoint(300, 225));
    QVERIFY(!w->PickMode());
    QCOMPARE(f.viewer->queries.back(), (keldarn::earth::ScreenPoint{.sx = 0.5, .sy = -0.5}));
    QTest::mouseRelease(render, Qt::LeftButton, Qt::NoModifier, QPoint(300, 225));
}

void CaptureCommandsTest::pickOutsideTheViewOnlyEndsPickMode()
{
    WindowFixture f(true);
    ShowWithViewer(f);
    auto* w = f.window.get();
    w->EditLL->setText(QStringLiteral("114"));
    QTest::mouseClick(w->Button6, Qt::LeftButton);
    w->FormMouseDown(Qt::LeftButton, Qt::NoModifier, w->Button3->mapTo(w, QPoint(2, 2)));
    QVERIFY(!w->PickMode());
    QVERIFY(f.viewer->queries.empty());
    QCOMPARE(w->EditX->text(), QStringLiteral("0"));
}

void CaptureCommandsTest::pickNeedsACentralMeridian()
{
    WindowFixture f(true);
    f.dialogs.messages.clear();
    QTest::mouseClick(f.window->Button6, Qt::LeftButton);
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("中央子午线没有设置！")});
    QVERIFY(!f.window->PickMode());

    // Without a viewer the button enters pick mode; the press then reports the blank
    // meridian and ends it.
    WindowFixture noViewer;
    noViewer.dialogs.messages.clear();
    QTest::mouseClick(noViewer.window->Button6, Qt::LeftButton);
    QVERIFY(noViewer.window->PickMode());
    noViewer.window->FormMouseDown(Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!noViewer.window->PickMode());
    QCOMPARE(noViewer.dialogs.MessageTexts(), QStringList{QStringLiteral("中央子午线没有设置！")});
}

void CaptureCommandsTest::refreshMeasuresTheView()
{
    WindowFixture f(true);
    ShowWithViewer(f);
    auto* w = f.window.get();
    w->EditLL->setText(QStringLiteral("114"));
    QTest::mouseClick(w->Button11, Qt::LeftButton);  // the transformation page's 确定 refreshes too
    QCOMPARE(w->Notebook1->currentWidget(), w->PageAuto);
    QCOMPARE(f.viewer->queries, (std::vector<keldarn::earth::ScreenPoint>{{.sx = -1, .sy = 0},
                                                                          {.sx = 1, .sy = 0},
                                                                          {.sx = 0, .sy = -1},
                                                                          {.sx = 0, .sy = 1},
                                                                          {.sx = 0, .sy = 0}}));
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("地图窗中心子午线=113.5500度/中央子午线=114度"));
    QCOMPARE(w->EditDx->text(), QStringLiteral("1109"));
    QCOMPARE(w->EditDy->text(), QStringLiteral("1863"));
    const QRect frame = f.viewer->renderWindow->frameGeometry();
    QCOMPARE(w->EditHpi->text(), QString::number(1109.0 / frame.height(), 'f', 1));
    QCOMPARE(w->EditPn->text(), QStringLiteral("%1").arg((1863 / 50 + 1) * (1109 / 50 + 1)));
}

void CaptureCommandsTest::refreshWithoutViewerEstimatesFromTheFields()
{
    WindowFixture f;
    auto* w = f.window.get();
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button8, Qt::LeftButton);
    QCOMPARE(w->Notebook1->currentWidget(), w->PageAuto);
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("“”不是有效的数值")});
    QCOMPARE(w->EditPn->text(), QString());

    w->EditDx->setText(QStringLiteral("1000"));
    w->EditDy->setText(QStringLiteral("1500"));
    QTest::mouseClick(w->Button8, Qt::LeftButton);
    QCOMPARE(w->EditPn->text(), QStringLiteral("651"));
    QCOMPARE(w->EditDx->text(), QStringLiteral("1000"));
}

void CaptureCommandsTest::samplesTheGridIntoTheTable()
{
    WindowFixture f(true);
    auto* w = f.window.get();
    f.viewer->terrain = PlaneTerrain;
    w->EditLL->setText(QStringLiteral("114"));
    w->EditDx->setText(QStringLiteral("1000"));
    w->EditDy->setText(QStringLiteral("1500"));
    w->EditPd->setText(QStringLiteral("500"));
    w->PointTable()->AppendRow({"K1", "", "1", "2", "3"});
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    QTRY_VERIFY(!w->SurveyTaskRunning());

    // 3 rows of 4 points, from the bottom-left corner rightwards, row by row upwards.
    QCOMPARE(f.viewer->queries.size(), std::size_t{12});
    QCOMPARE(f.viewer->queries.front(), (keldarn::earth::ScreenPoint{.sx = -1, .sy = -1}));
    QCOMPARE(f.viewer->queries[1], (keldarn::earth::ScreenPoint{.sx = 2.0 / 3.0 - 1.0, .sy = -1}));
    QCOMPARE(f.viewer->queries.back(), (keldarn::earth::ScreenPoint{.sx = 1, .sy = 1}));
    auto* table = w->PointTable();
    QCOMPARE(table->RowCount(), 14);
    QCOMPARE(table->Cell(0, 2), QStringLiteral("2"));  // named by the row it receives
    QCOMPARE(table->Cell(0, 13), QStringLiteral("13"));
    QCOMPARE(table->Cell(1, 2), QString());
    QCOMPARE(table->Cell(4, 2), QStringLiteral("90.000"));
    QVERIFY(table->HeaderFixed());
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(f.dialogs.messages[0].text.startsWith(QStringLiteral("数据采集结束，用时")));
    QVERIFY(f.dialogs.messages[0].text.endsWith(QStringLiteral("秒")));
    QCOMPARE(w->StatusBar1->text(), QString());
    QCOMPARE(w->ProgressBar1->value(), 0);
}

void CaptureCommandsTest::samplingSkipsPointsWithoutTerrain()
{
    WindowFixture f(true);
    auto* w = f.window.get();
    f.viewer->terrain = [](double sx, double sy) -> IPointOnTerrainGE {
        if (sy > 0.5)
            throw keldarn::earth::NoTerrainError("sky");
        return PlaneTerrain(sx, sy);
    };
    w->EditLL->setText(QStringLiteral("114"));
    w->EditDx->setText(QStringLiteral("100"));
    w->EditDy->setText(QStringLiteral("100"));
    w->EditPd->setText(QStringLiteral("50"));
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    QTRY_VERIFY(!w->SurveyTaskRunning());
    QCOMPARE(w->PointTable()->DataRowCount(), 6);  // the top row of three is sky
    QCOMPARE(w->PointTable()->Cell(0, 6), QStringLiteral("6"));
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(f.dialogs.messages[0].text.contains(QStringLiteral("有3个点没有地形数据")));
}

void CaptureCommandsTest::samplingKeepsRowsBeforeAFailure()
{
    WindowFixture f(true);
    auto* w = f.window.get();
    int calls = 0;
    f.viewer->terrain = [&calls](double sx, double sy) -> IPointOnTerrainGE {
        if (++calls == 5)
            throw keldarn::earth::EarthError("viewer stopped answering");
        return PlaneTerrain(sx, sy);
    };
    w->EditLL->setText(QStringLiteral("114"));
    w->EditDx->setText(QStringLiteral("100"));
    w->EditDy->setText(QStringLiteral("100"));
    w->EditPd->setText(QStringLiteral("50"));
    f.dialogs.messages.clear();
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    QTRY_VERIFY(!w->SurveyTaskRunning());
    QCOMPARE(w->PointTable()->DataRowCount(), 4);
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("viewer stopped answering")});
    QCOMPARE(w->ProgressBar1->value(), 0);
}

// The window stays usable while a grid is sampled; Esc stops the run and the rows taken
// stay, each named by its row.
void CaptureCommandsTest::samplingRunsInTheBackgroundUntilEsc()
{
    WindowFixture f(true);
    auto* w = f.window.get();
    w->show();  // Esc reaches the window's shortcut once it is shown
    QVERIFY(QTest::qWaitForWindowExposed(w));
    f.viewer->terrain = [](double sx, double sy) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        return PlaneTerrain(sx, sy);
    };
    w->EditLL->setText(QStringLiteral("114"));
    w->EditDx->setText(QStringLiteral("100"));
    w->EditDy->setText(QStringLiteral("100"));
    w->EditPd->setText(QStringLiteral("1"));  // 101 × 101 points, about 3 s
    QTest::mouseClick(w->Button5, Qt::LeftButton);
    QTRY_VERIFY(w->PointTable()->DataRowCount() > 0);
    w->EditX->setText(QStringLiteral("typed meanwhile"));  // input is taken during the run
    QCOMPARE(w->EditX->text(), QStringLiteral("typed meanwhile"));
    QTest::mouseClick(w->Button5, Qt::LeftButton);  // a second run is refused
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("正在进行地形计算，请等待结束或按Esc取消。"));
    QTest::keyClick(w, Qt::Key_Escape);
    QTRY_VERIFY(!w->SurveyTaskRunning());
    const int taken = w->PointTable()->DataRowCount();
    QVERIFY2(taken < 101 * 101, qPrintable(QString::number(taken)));
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("已取消自动采点，保留已采集的%1个点。").arg(taken));
    QCOMPARE(w->PointTable()->Cell(0, taken), QString::number(taken));
    QCOMPARE(w->ProgressBar1->value(), 0);
}

void CaptureCommandsTest::samplingRefusesAGridThatCannotBeFormed()
{
    const struct {
        const char* spanV;
        const char* spacing;
        const char* meridian;
    } cases[] = {{"1000", "0", "114"},
                 {"1000", "-50", "114"},
                 {"30", "50", "114"},
                 {"", "50", "114"},
                 {"1000", "50", " "}};
    for (const auto& c : cases) {
        WindowFixture f(true);
        auto* w = f.window.get();
        w->EditLL->setText(QString::fromUtf8(c.meridian));
        w->EditDx->setText(QString::fromUtf8(c.spanV));
        w->EditDy->setText(QStringLiteral("1000"));
        w->EditPd->setText(QString::fromUtf8(c.spacing));
        f.dialogs.messages.clear();
        QTest::mouseClick(w->Button5, Qt::LeftButton);
        QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
        QCOMPARE(w->PointTable()->RowCount(), 1);
        QVERIFY(f.viewer->queries.empty());
        QCOMPARE(w->StatusBar1->text(), QString());
    }
}

QTEST_MAIN(CaptureCommandsTest)
#include "capture_commands_test.moc"
