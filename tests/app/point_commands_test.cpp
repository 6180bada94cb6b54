// Adopting points into the table and the two table commands.

#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using keldarn::testing::WindowFixture;

namespace {

QStringList Row(const keldarn::points::PointTableModel* table, int gridRow)
{
    QStringList cells;
    for (int column = 0; column < 5; ++column)
        cells << table->Cell(column, gridRow);
    return cells;
}

void Trigger(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            action->trigger();
}

}  // namespace

class PointCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void adoptsPickedPointsAsTheyStand();
    void adoptsTypedGeographicPoint();
    void typedAdoptionAppliesTheTransformation();
    void typedAdoptionRefusesBadInput_data();
    void typedAdoptionRefusesBadInput();
    void blankNameBecomesK1Next();
    void deletesCurrentRow();
    void clearsTheTable();
    void importRunsInTheBackground();
};

void PointCommandsTest::adoptsPickedPointsAsTheyStand()
{
    WindowFixture f;
    auto* w = f.window.get();
    QTest::mouseClick(w->Button3, Qt::LeftButton);
    w->EditDec->setText(QStringLiteral("房角"));
    w->EditX->setText(QStringLiteral("701.500"));
    w->EditY->setText(QStringLiteral("502.25"));
    w->EditH->setText(QStringLiteral(" 85.120"));
    QTest::mouseClick(w->Button3, Qt::LeftButton);

    const auto* table = w->PointTable();
    QCOMPARE(table->RowCount(), 3);
    QCOMPARE(Row(table, 1), (QStringList{"K1", "校正点", "0", "0", "0"}));
    QCOMPARE(Row(table, 2), (QStringList{"K2", "房角", "701.500", "502.25", " 85.120"}));
    QVERIFY(table->HeaderFixed());
    QCOMPARE(w->EditNam->text(), QStringLiteral("K3"));
    QCOMPARE(w->EditDec->text(), QStringLiteral("房角"));
    for (const QLineEdit* field : {w->EditX, w->EditY, w->EditH})
        QCOMPARE(field->text(), QStringLiteral("0"));
    QCOMPARE(w->StringGrid1->currentIndex().row(), 1);
}

void PointCommandsTest::adoptsTypedGeographicPoint()
{
    WindowFixture f;
    auto* w = f.window.get();
    w->EditLL->setText(QStringLiteral(" 114 "));
    w->EditNam1->setText(QStringLiteral("K09"));
    w->EditLat->setText(QStringLiteral("33.2677"));
    w->EditLon->setText(QStringLiteral("113.5538"));
    w->EditH1->setText(QStringLiteral("85.12"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);

    QVERIFY(f.dialogs.MessageTexts() == QStringList{QStringLiteral("启动Google Earth失败\nno viewer")});
    QCOMPARE(Row(w->PointTable(), 1), (QStringList{"K09", "校正点", "3682526.192", "458427.379", "85.120"}));
    QCOMPARE(w->EditNam1->text(), QStringLiteral("K10"));
    QCOMPARE(w->EditDec1->text(), QStringLiteral("校正点"));
    for (const QLineEdit* field : {w->EditLat, w->EditLon, w->EditH1})
        QCOMPARE(field->text(), QStringLiteral("0"));

    // On the central meridian Y is the false easting itself.
    w->EditLat->setText(QStringLiteral("33.2677"));
    w->EditLon->setText(QStringLiteral("114"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    QCOMPARE(w->PointTable()->Cell(3, 2), QStringLiteral("500000.000"));
}

void PointCommandsTest::typedAdoptionAppliesTheTransformation()
{
    WindowFixture f;
    auto* w = f.window.get();
    w->EditLL->setText(QStringLiteral("114"));
    w->EditXdis->setText(QStringLiteral("100"));
    w->EditYdis->setText(QStringLiteral("-200"));
    w->EditRot->setText(QStringLiteral("10"));
    w->EditSca->setText(QStringLiteral("0.00001"));
    w->EditHdis->setText(QStringLiteral("5"));
    w->EditLat->setText(QStringLiteral("33.2677"));
    w->EditLon->setText(QStringLiteral("113.5538"));
    w->EditH1->setText(QStringLiteral("100"));
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    // 3682640.7875 when the plane point is first rounded to millimetres; carried through
    // unrounded, as the program does, X′ lies just below the half millimetre.
    QCOMPARE(Row(w->PointTable(), 1), (QStringList{"K1", "校正点", "3682640.787", "458410.498", "105.000"}));
}

void PointCommandsTest::typedAdoptionRefusesBadInput_data()
{
    QTest::addColumn<QString>("meridian");
    QTest::addColumn<QString>("lat");
    QTest::addColumn<QString>("rot");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank meridian") << "   "
                                    << "33"
                                    << "0"
                                    << "中央子午线没有设置！";
    QTest::newRow("meridian not a number") << "114E"
                                           << "33"
                                           << "0"
                                           << "“114E”不是有效的数值";
    QTest::newRow("empty latitude") << "114"
                                    << ""
                                    << "0"
                                    << "“”不是有效的数值";
    QTest::newRow("comma decimal mark") << "114"
                                        << "33,5"
                                        << "0"
                                        << "“33,5”不是有效的数值";
    QTest::newRow("bad rotation") << "114"
                                  << "33"
                                  << "10秒"
                                  << "“10秒”不是有效的数值";
    QTest::newRow("latitude beyond the pole") << "114"
                                              << "95"
                                              << "0"
                                              << "纬度 95 超出范围：纬度应在 -90 到 90 度之间";
}

void PointCommandsTest::typedAdoptionRefusesBadInput()
{
    QFETCH(QString, meridian);
    QFETCH(QString, lat);
    QFETCH(QString, rot);
    QFETCH(QString, message);
    WindowFixture f;
    auto* w = f.window.get();
    f.dialogs.messages.clear();
    w->EditLL->setText(meridian);
    w->EditLat->setText(lat);
    w->EditLon->setText(QStringLiteral("114"));
    w->EditRot->setText(rot);
    QTest::mouseClick(w->Button1, Qt::LeftButton);
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{message});
    QCOMPARE(w->PointTable()->RowCount(), 1);
    QCOMPARE(w->EditNam1->text(), QStringLiteral("K1"));
    QCOMPARE(w->EditLat->text(), lat);
    QCOMPARE(w->EditLon->text(), QStringLiteral("114"));
}

void PointCommandsTest::blankNameBecomesK1Next()
{
    WindowFixture f;
    auto* w = f.window.get();
    w->EditNam->setText(QStringLiteral(" "));
    QTest::mouseClick(w->Button3, Qt::LeftButton);
    QCOMPARE(w->PointTable()->Cell(0, 1), QStringLiteral(" "));
    QCOMPARE(w->EditNam->text(), QStringLiteral("K1"));
}

void PointCommandsTest::deletesCurrentRow()
{
    WindowFixture f;
    auto* w = f.window.get();
    Trigger(w->MData, QStringLiteral("删除当前行"));  // nothing to delete
    QCOMPARE(w->PointTable()->RowCount(), 1);
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(w->Button3, Qt::LeftButton);
    w->StringGrid1->setCurrentIndex(w->PointTable()->index(1, 2));  // grid row 2, K2
    Trigger(w->MData, QStringLiteral("删除当前行"));
    QCOMPARE(w->PointTable()->RowCount(), 3);
    QCOMPARE(w->PointTable()->Cell(0, 1), QStringLiteral("K1"));
    QCOMPARE(w->PointTable()->Cell(0, 2), QStringLiteral("K3"));
    QVERIFY(w->PointTable()->HeaderFixed());

    Trigger(w->MData, QStringLiteral("删除当前行"));
    Trigger(w->MData, QStringLiteral("删除当前行"));
    QCOMPARE(w->PointTable()->RowCount(), 1);
    QVERIFY(!w->PointTable()->HeaderFixed());
    QVERIFY(f.dialogs.messages.size() == 1);  // only the viewer start; table commands ask nothing

    QTest::mouseClick(w->Button3, Qt::LeftButton);
    QVERIFY(w->PointTable()->HeaderFixed());
    QCOMPARE(w->PointTable()->Cell(0, 1), QStringLiteral("K4"));
}

void PointCommandsTest::clearsTheTable()
{
    WindowFixture f;
    auto* w = f.window.get();
    Trigger(w->MData, QStringLiteral("清空全部数据"));
    QCOMPARE(w->PointTable()->RowCount(), 1);
    QTest::mouseClick(w->Button3, Qt::LeftButton);
    QTest::mouseClick(w->Button3, Qt::LeftButton);
    Trigger(w->MData, QStringLiteral("清空全部数据"));
    QCOMPARE(w->PointTable()->RowCount(), 1);
    QVERIFY(!w->PointTable()->HeaderFixed());
    QCOMPARE(w->PointTable()->Cell(0, 0), QStringLiteral("点号"));
    QCOMPARE(w->EditNam->text(), QStringLiteral("K3"));
}

// A point file is read on a worker: the window goes on (a timer ticks), shows the import in
// its status line and progress bar, refuses what would change the table, and Esc cancels
// with the table as it was. Unhindered, the file arrives whole.
void PointCommandsTest::importRunsInTheBackground()
{
    WindowFixture f;
    auto* w = f.window.get();
    w->show();  // Esc reaches the window's shortcut once it is shown
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->Button3, Qt::LeftButton);
    constexpr int kRows = 200'000;
    QByteArray bytes;
    for (int n = 1; n <= kRows; ++n)
        bytes += QStringLiteral("P%1,,458%2.250,3682%2.125,85.120\r\n")
                     .arg(n)
                     .arg(n % 1000, 3, 10, QLatin1Char('0'))
                     .toUtf8();
    const QString path = f.WriteFile(QStringLiteral("many.dat"), bytes);
    int ticksDuringImport = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticksDuringImport += w->SurveyTaskRunning() ? 1 : 0; });
    ticker.start(0);

    w->OpenFiles({path});
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("正在导入数据...按Esc取消"));
    QVERIFY(w->ProgressBar1->value() >= 1);
    QCOMPARE(w->PointTable()->DataRowCount(), 1);
    QTRY_VERIFY(ticksDuringImport > 0);
    Trigger(w->MData, QStringLiteral("清空全部数据"));
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("正在导入数据，请等待结束或按Esc取消。"));
    QTest::keyClick(w, Qt::Key_Escape);
    QTRY_VERIFY(!w->SurveyTaskRunning());
    QCOMPARE(w->PointTable()->DataRowCount(), 1);
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("已取消导入，没有导入任何点。"));
    QCOMPARE(w->ProgressBar1->value(), 0);

    w->OpenFiles({path});
    QTRY_VERIFY_WITH_TIMEOUT(!w->SurveyTaskRunning(), 30000);
    QCOMPARE(w->PointTable()->DataRowCount(), 1 + kRows);
    QCOMPARE(Row(w->PointTable(), 1 + kRows),
             (QStringList{QStringLiteral("P200000"), QString(), QStringLiteral("3682000.125"),
                          QStringLiteral("458000.250"), QStringLiteral("85.120")}));
    QCOMPARE(w->StatusBar1->text(), QStringLiteral("已导入 200000 个点"));
}

QTEST_MAIN(PointCommandsTest)
#include "point_commands_test.moc"
