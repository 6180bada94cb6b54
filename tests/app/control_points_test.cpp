// 四参数求解: the dialog over control points with a known transformation and one wrong
// point, its refusals, and the main window taking the applied values into its fields.

#include "app/control_points_dialog.h"
#include "app/main_window.h"
#include "fakes.h"
#include "geodesy/four_param.h"
#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

#include <cmath>

using keldarn::testing::FakeDialogs;
using keldarn::testing::WindowFixture;

namespace {

const keldarn::geodesy::FourParameterSet kKnown{-1234.5678, 987.654, -3.21, 1.7e-5, 2.345};

// Six points on the plane with their grid coordinates by kKnown; the fourth is 0.5 m off.
keldarn::app::ControlPointSheet KnownSheet()
{
    keldarn::app::ControlPointSheet sheet;
    const double plane[6][3] = {{3301000, 501000, 100}, {3304000, 503500, 120}, {3302500, 507000, 90},
                                {3299000, 505000, 110}, {3306000, 500000, 130}, {3300000, 498000, 95}};
    for (int i = 0; i < 6; ++i) {
        keldarn::geodesy::GridPoint target =
            keldarn::geodesy::FourParamForward(kKnown, {plane[i][0], plane[i][1], plane[i][2]});
        if (i == 3)
            target.x += 0.5;
        sheet.rows.push_back({{QStringLiteral("G%1").arg(i + 1), QString::number(plane[i][0], 'f', 3),
                               QString::number(plane[i][1], 'f', 3), QString::number(plane[i][2], 'f', 3),
                               QString::number(target.x, 'f', 9), QString::number(target.y, 'f', 9),
                               QString::number(target.h, 'f', 9)},
                              true});
    }
    return sheet;
}

}  // namespace

class ControlPointsTest : public QObject {
    Q_OBJECT

private slots:
    void solvesAndMarksTheWrongPoint();
    void accuracyIsTheUnitWeightError_data();
    void accuracyIsTheUnitWeightError();
    void leavingTheWrongPointOutRecoversTheParameters();
    void refusesCellsThatAreNoNumbers();
    void appliedValuesFillTheTransformationPage();
};

void ControlPointsTest::solvesAndMarksTheWrongPoint()
{
    FakeDialogs dialogs;
    keldarn::app::ControlPointsDialog dialog(nullptr, dialogs, {KnownSheet(), QString(), {}, {}});
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("SolveButton")), Qt::LeftButton);
    QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.MessageTexts().join('\n')));
    QTableWidget* table = dialog.Table();
    // The wrong point's row is marked, its residual the largest.
    QCOMPARE(table->item(3, 0)->background().color(), QColor(255, 200, 200));
    QCOMPARE(table->item(0, 0)->background().style(), Qt::NoBrush);
    double largest = 0.0;
    int largestRow = -1;
    for (int r = 0; r < 6; ++r) {
        const double v =
            std::hypot(table->item(r, 8)->text().toDouble(), table->item(r, 9)->text().toDouble());
        if (v > largest)
            largest = v, largestRow = r;
    }
    QCOMPARE(largestRow, 3);
    QVERIFY(dialog.Result()->text().contains(QStringLiteral("G4")));
}

void ControlPointsTest::accuracyIsTheUnitWeightError_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("redundancy");
    QTest::newRow("six points") << 6 << QStringLiteral("6 个点，多余观测数 r = 2n − 4 = 8");
    QTest::newRow("two points") << 2 << QStringLiteral("没有多余观测（r = 0），无法估计");
}

// The accuracy is given as the adjustment's unit-weight error m0 = sqrt([vv] / (2n − 4)),
// with its redundancy; the RMS sqrt([vv] / n) keeps its own name.
void ControlPointsTest::accuracyIsTheUnitWeightError()
{
    QFETCH(int, points);
    QFETCH(QString, redundancy);
    keldarn::app::ControlPointSheet sheet = KnownSheet();
    sheet.rows.resize(static_cast<std::size_t>(points));
    FakeDialogs dialogs;
    keldarn::app::ControlPointsDialog dialog(nullptr, dialogs, {sheet, QString(), {}, {}});
    QVERIFY(dialog.Solve());
    const QString text = dialog.Result()->text();
    QVERIFY2(text.contains(redundancy), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("残差中误差")), qPrintable(text));
    const auto number = [&](const QString& pattern) {
        const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
        return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
    };
    const double rms = number(QStringLiteral("平面残差均方根 ([0-9.]+) m"));
    QVERIFY2(rms >= 0, qPrintable(text));
    if (points > 2) {
        // [vv] = n·rms²: m0 = rms·sqrt(n / (2n − 4)), both shown to 0.1 mm.
        const double m0 = number(QStringLiteral("m0 = ±([0-9.]+) m"));
        QVERIFY2(std::abs(m0 - rms * std::sqrt(points / (2.0 * points - 4))) < 1e-4, qPrintable(text));
    }
}

void ControlPointsTest::leavingTheWrongPointOutRecoversTheParameters()
{
    FakeDialogs dialogs;
    keldarn::app::ControlPointSheet sheet = KnownSheet();
    sheet.rows[3].used = false;
    keldarn::app::ControlPointsDialog dialog(nullptr, dialogs, {sheet, QString(), {}, {}});
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ApplyButton")), Qt::LeftButton);
    QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.MessageTexts().join('\n')));
    const auto outcome = dialog.Outcome();
    QVERIFY(outcome.applied.has_value());
    QVERIFY(std::abs(outcome.applied->dxM - kKnown.dxM) < 1e-3);
    QVERIFY(std::abs(outcome.applied->dyM - kKnown.dyM) < 1e-3);
    QVERIFY(std::abs(outcome.applied->rotArcSec - kKnown.rotArcSec) < 1e-6);
    QVERIFY(std::abs(outcome.applied->scale - kKnown.scale) < 1e-11);
    QVERIFY(std::abs(outcome.applied->dHM - kKnown.dHM) < 1e-6);
    // The point left out keeps its residual: half a metre in X.
    QVERIFY(std::abs(dialog.Table()->item(3, 8)->text().toDouble() - 0.5) < 1e-3);
    QCOMPARE(outcome.sheet.rows.size(), std::size_t{6});
    QVERIFY(!outcome.sheet.rows[3].used);
}

void ControlPointsTest::refusesCellsThatAreNoNumbers()
{
    FakeDialogs dialogs;
    keldarn::app::ControlPointSheet sheet = KnownSheet();
    sheet.rows[2].cells[5] = QStringLiteral("50l234.5");
    keldarn::app::ControlPointsDialog dialog(nullptr, dialogs, {sheet, QString(), {}, {}});
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ApplyButton")), Qt::LeftButton);
    QCOMPARE(dialogs.MessageTexts(), QStringList{QStringLiteral("第3行（G3）的目标Y“50l234.5”不是数字。")});
    QVERIFY(!dialog.Outcome().applied);
    // The typo is kept for the user to mend.
    QCOMPARE(dialog.Outcome().sheet.rows[2].cells[5], QStringLiteral("50l234.5"));
}

void ControlPointsTest::appliedValuesFillTheTransformationPage()
{
    WindowFixture f;
    f.window->EditXdis->setText(QStringLiteral("1"));
    f.window->PointTable()->AppendRows({{QStringLiteral("P1"), QString(), QStringLiteral("3300001.000"),
                                         QStringLiteral("500002.000"), QStringLiteral("103.000")}});
    f.window->StringGrid1->selectRow(0);  // the first data row
    keldarn::app::ControlPointsOutcome answer{KnownSheet(), kKnown};
    f.dialogs.controlOutcomes.push_back(answer);
    QTest::mouseClick(f.window->Button13, Qt::LeftButton);
    QCOMPARE(f.window->EditXdis->text(), QStringLiteral("-1234.5678"));
    QCOMPARE(f.window->EditYdis->text(), QStringLiteral("987.6540"));
    QCOMPARE(f.window->EditRot->text(), QStringLiteral("-3.210000"));
    QCOMPARE(f.window->EditSca->text(), QStringLiteral("0.000017000000"));
    QCOMPARE(f.window->EditHdis->text(), QStringLiteral("2.3450"));
    // The selected row was offered on the plane: the parameters then (dx = 1) taken back.
    QCOMPARE(f.dialogs.controlRequests.size(), std::size_t{1});
    const auto& offered = f.dialogs.controlRequests[0].fromTable;
    QCOMPARE(offered.size(), std::size_t{1});
    QCOMPARE(offered[0].name, std::string("P1"));
    QCOMPARE(offered[0].source[0], 3300000.0);
    // The points are offered again the next time.
    QTest::mouseClick(f.window->Button13, Qt::LeftButton);
    QCOMPARE(f.dialogs.controlRequests[1].sheet.rows.size(), std::size_t{6});
}

QTEST_MAIN(ControlPointsTest)
#include "control_points_test.moc"
