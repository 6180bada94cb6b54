// The guided setting pages: the central meridian proposal and the four-parameter
// page with its import.

#include "app/projection_dialog.h"
#include "app/ui_scale.h"
#include "geodesy/gauss_kruger_ellipsoid.h"
#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QtTest>

#include <algorithm>

using keldarn::testing::WindowFixture;

class SettingPagesTest : public QObject {
    Q_OBJECT

private slots:
    // The program's own font, which the fields and columns are measured for.
    void initTestCase() { keldarn::app::UseInterfaceFont(*qApp); }
    void proposesZoneMeridian_data();
    void proposesZoneMeridian();
    void withoutViewerOnlyShowsPage();
    void viewerErrorStopsBeforePage();
    void confirmingProjectionMovesOn();
    void confirmingTransformationShowsSampling();
    void nationalSystemReachesTypedPoints();
    void unreadableNationalSystemIsSaidAtStart();
    void planeChangeOffersToSolveAgain_data();
    void planeChangeOffersToSolveAgain();
    void importsParameterLines_data();
    void importsParameterLines();
    void importCancelledChangesNothing();
    void importOfUnreadableFileReportsAndChangesNothing();
    void writtenNumbersShowWhole();
};

void SettingPagesTest::proposesZoneMeridian_data()
{
    QTest::addColumn<double>("centreLon");
    QTest::addColumn<QString>("shownCentre");
    QTest::addColumn<QString>("proposal");
    QTest::newRow("default place") << 113.5538 << "113.5538"
                                   << "114.0000";
    QTest::newRow("half below goes to even") << 112.5 << "112.5000"
                                             << "114.0000";
    QTest::newRow("half above goes to even") << 115.5 << "115.5000"
                                             << "114.0000";
    QTest::newRow("118.5") << 118.5 << "118.5000"
                           << "120.0000";
    QTest::newRow("west") << -77.0 << "-77.0000"
                          << "-78.0000";
    QTest::newRow("no negative zero") << -1.5 << "-1.5000"
                                      << "0.0000";
}

void SettingPagesTest::proposesZoneMeridian()
{
    QFETCH(double, centreLon);
    QFETCH(QString, shownCentre);
    QFETCH(QString, proposal);
    WindowFixture f(true);
    f.viewer->terrain = [centreLon](double, double) {
        return keldarn::earth::IPointOnTerrainGE{30.0, centreLon, 5.0};
    };
    f.window->EditLL->setText(QStringLiteral("99"));
    QTest::mouseClick(f.window->Button10, Qt::LeftButton);
    QCOMPARE(f.viewer->queries, (std::vector<keldarn::earth::ScreenPoint>{{.sx = 0.0, .sy = 0.0}}));
    QCOMPARE(f.window->EditLo->text(), shownCentre);
    QCOMPARE(f.window->EditLL->text(), proposal);
    QCOMPARE(f.window->Notebook1->currentWidget(), f.window->PageSet);
    QCOMPARE(f.window->StatusBar1->text(), QStringLiteral("中央子午线=") + proposal + QStringLiteral("度"));
}

void SettingPagesTest::withoutViewerOnlyShowsPage()
{
    WindowFixture f;
    f.window->EditLL->setText(QStringLiteral("117"));
    f.window->EditLo->setText(QStringLiteral("x"));
    QTest::mouseClick(f.window->Button7, Qt::LeftButton);
    QCOMPARE(f.window->Notebook1->currentWidget(), f.window->PageSet);
    QCOMPARE(f.window->EditLL->text(), QStringLiteral("117"));
    QCOMPARE(f.window->EditLo->text(), QStringLiteral("x"));
}

void SettingPagesTest::viewerErrorStopsBeforePage()
{
    WindowFixture f(true);
    f.viewer->terrain = [](double, double) -> keldarn::earth::IPointOnTerrainGE {
        throw keldarn::earth::EarthError("no terrain under the centre of the view");
    };
    QTest::mouseClick(f.window->Button10, Qt::LeftButton);
    QCOMPARE(f.dialogs.MessageTexts(),
             QStringList{QStringLiteral("no terrain under the centre of the view")});
    QCOMPARE(f.window->Notebook1->currentWidget(), f.window->PageMap);
    QCOMPARE(f.window->EditLL->text(), QString());
}

void SettingPagesTest::confirmingProjectionMovesOn()
{
    WindowFixture f;
    f.window->EditLL->setText(QStringLiteral(" 114 "));
    QTest::mouseClick(f.window->Button4, Qt::LeftButton);
    QCOMPARE(f.window->StatusBar1->text(), QStringLiteral("中央子午线= 114 "));
    QCOMPARE(f.window->Notebook1->currentWidget(), f.window->PageZbzh);
}

void SettingPagesTest::confirmingTransformationShowsSampling()
{
    WindowFixture f;
    QTest::mouseClick(f.window->Button11, Qt::LeftButton);
    QCOMPARE(f.window->Notebook1->currentWidget(), f.window->PageAuto);
}

void SettingPagesTest::importsParameterLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("five lines, CR LF, extra ignored")
        << QByteArray("100.0\r\n-200.0\r\n10\r\n0.00001\r\n5\r\nextra\r\n")
        << QStringList{"100.0", "-200.0", "10", "0.00001", "5"};
    QTest::newRow("three lines leave the rest empty")
        << QByteArray("1\n2\n3\n") << QStringList{"1", "2", "3", "", ""};
    QTest::newRow("blanks kept, no final newline")
        << QByteArray("  100  \n2\n3\n4\n5") << QStringList{"  100  ", "2", "3", "4", "5"};
    QTest::newRow("not validated") << QByteArray("abc\n\n1,5\n") << QStringList{"abc", "", "1,5", "", ""};
    QTest::newRow("GB18030 text of an older tool")
        << QByteArray("\xB6\xFE\n") << QStringList{"二", "", "", "", ""};
}

void SettingPagesTest::importsParameterLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, fields);
    WindowFixture f;
    f.dialogs.filePaths.push_back(f.WriteFile(QStringLiteral("params.txt"), content));
    QTest::mouseClick(f.window->Button12, Qt::LeftButton);
    QCOMPARE(f.dialogs.lastOpenOptions.filter, QStringLiteral("Text files (*.txt)|*.txt"));
    const QLineEdit* targets[] = {f.window->EditXdis, f.window->EditYdis, f.window->EditRot,
                                  f.window->EditSca, f.window->EditHdis};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(targets[i]->text(), fields[i]);
}

void SettingPagesTest::importCancelledChangesNothing()
{
    WindowFixture f;
    f.window->EditXdis->setText(QStringLiteral("7"));
    QTest::mouseClick(f.window->Button12, Qt::LeftButton);
    QCOMPARE(f.window->EditXdis->text(), QStringLiteral("7"));
}

void SettingPagesTest::importOfUnreadableFileReportsAndChangesNothing()
{
    WindowFixture f;
    f.dialogs.messages.clear();
    f.window->EditXdis->setText(QStringLiteral("7"));
    f.dialogs.filePaths.push_back(f.dir.filePath(QStringLiteral("missing.txt")));
    QTest::mouseClick(f.window->Button12, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(f.dialogs.messages[0].text.contains(QStringLiteral("missing.txt")));
    QCOMPARE(f.window->EditXdis->text(), QStringLiteral("7"));
}

// 椭球与分带: a typed point on CGCS2000 with the zone number in Y, the choice kept in its
// own section, and a zone number refused on a meridian that is no zone's.
void SettingPagesTest::nationalSystemReachesTypedPoints()
{
    WindowFixture f;
    f.dialogs.messages.clear();  // the fixture starts without a viewer, and says so
    f.window->EditLL->setText(QStringLiteral("117.5"));
    keldarn::geodesy::ProjectionChoice cgcs;
    cgcs.ellipsoid = keldarn::geodesy::EllipsoidChoice::Cgcs2000;
    cgcs.zoneNumber = keldarn::geodesy::ZoneNumberInY::With;
    f.dialogs.projectionChoices.push_back(cgcs);
    QTest::mouseClick(f.window->Button14, Qt::LeftButton);
    QCOMPARE(f.dialogs.MessageTexts(),
             QStringList{QStringLiteral(
                 "中央子午线 117.5000° 不是3°带的中央子午线，Y 无法加带号。请改正中央子午线或带宽。")});
    QVERIFY(f.window->Projection().IsDefault());

    f.window->EditLL->setText(QStringLiteral("117"));
    f.dialogs.projectionChoices.push_back(cgcs);
    QTest::mouseClick(f.window->Button14, Qt::LeftButton);
    QCOMPARE(f.window->LabelProjection->text(), QStringLiteral("CGCS2000，3°带，Y含带号"));
    QVERIFY(f.SettingsText().contains("[Projection]"));
    QVERIFY(f.SettingsText().contains("Ellipsoid=CGCS2000"));

    f.window->MAddClick();
    f.window->EditNam1->setText(QStringLiteral("P1"));
    f.window->EditLat->setText(QStringLiteral("30.5"));
    f.window->EditLon->setText(QStringLiteral("118.2"));
    f.window->EditH1->setText(QStringLiteral("10"));
    QTest::mouseClick(f.window->Button1, Qt::LeftButton);
    const keldarn::geodesy::PlanePoint expected =
        keldarn::geodesy::GaussKrugerSeries(keldarn::geodesy::kCgcs2000).ToPlane(30.5, 118.2, 117.0);
    const auto* table = f.window->PointTable();
    QCOMPARE(table->Cell(keldarn::points::kXColumn, 1), QString::number(expected.x, 'f', 3));
    // 3° zone 39 in front of Y.
    QCOMPARE(table->Cell(keldarn::points::kYColumn, 1), QString::number(39e6 + expected.y, 'f', 3));
}

// A [Projection] value that does not read is said at start, naming the key and its value;
// the page shows the program's own projection, used instead, and the file stays as it is.
void SettingPagesTest::unreadableNationalSystemIsSaidAtStart()
{
    const QByteArray section = "[Projection]\nEllipsoid=Beijing54\nDatum=1\nDatumDx=-15,8\n";
    WindowFixture f(false, section, true);
    const QStringList texts = f.dialogs.MessageTexts();
    const auto said = std::find_if(texts.begin(), texts.end(), [](const QString& text) {
        return text.contains(QStringLiteral("DatumDx=-15,8"));
    });
    QVERIFY2(said != texts.end(), qPrintable(texts.join('|')));
    QVERIFY(said->contains(f.SettingsPath()));
    QVERIFY(said->contains(keldarn::app::DescribeProjection({})));
    QCOMPARE(f.dialogs.messages[static_cast<std::size_t>(said - texts.begin())].icon,
             keldarn::app::MessageIcon::Warning);
    QVERIFY(f.window->Projection().IsDefault());
    QCOMPARE(f.window->LabelProjection->text(), keldarn::app::DescribeProjection({}));
    QCOMPARE(f.SettingsText(), section);
}

// The numbers the program writes show whole, not cut with an ellipsis: the parameters that
// 四参数求解 applies, and typed points' X south of the equator and Y with a zone number of
// up to three digits (Greenwich is 3° zone 120).
void SettingPagesTest::writtenNumbersShowWhole()
{
    WindowFixture f;
    keldarn::app::ControlPointsOutcome solved;
    solved.applied = keldarn::geodesy::FourParameterSet{-3312345.6789, -412345.6789, -123.456789,
                                                        -0.000014992123, -1234.5678};
    f.dialogs.controlOutcomes.push_back(solved);
    QTest::mouseClick(f.window->Button13, Qt::LeftButton);
    for (const QLineEdit* field :
         {f.window->EditXdis, f.window->EditYdis, f.window->EditRot, f.window->EditSca, f.window->EditHdis}) {
        QStyleOptionFrame option;
        option.initFrom(field);
        option.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
        // QLineEdit keeps 2 px inside its contents at either side.
        const int room = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field).width() -
                         field->textMargins().left() - field->textMargins().right() - 4;
        QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) <= room,
                 qPrintable(field->objectName() + ": " + field->text()));
    }

    struct Typed {
        const char* meridian;
        const char* lat;
        const char* lon;
        const char* h;
    };
    for (QLineEdit* field :
         {f.window->EditXdis, f.window->EditYdis, f.window->EditRot, f.window->EditSca, f.window->EditHdis})
        field->setText(QStringLiteral("0"));
    keldarn::geodesy::ProjectionChoice withZone;
    withZone.zoneNumber = keldarn::geodesy::ZoneNumberInY::With;
    for (const Typed& point : {Typed{"0", "51.5", "1.4", "-1234.5"}, Typed{"18", "-33.9", "18.4", "8848"}}) {
        f.window->EditLL->setText(QString::fromLatin1(point.meridian));
        f.dialogs.projectionChoices.push_back(withZone);
        QTest::mouseClick(f.window->Button14, Qt::LeftButton);
        f.window->EditLat->setText(QString::fromLatin1(point.lat));
        f.window->EditLon->setText(QString::fromLatin1(point.lon));
        f.window->EditH1->setText(QString::fromLatin1(point.h));
        QTest::mouseClick(f.window->Button1, Qt::LeftButton);
    }
    const QTableView* table = f.window->StringGrid1;
    QCOMPARE(f.window->PointTable()->DataRowCount(), 2);
    QVERIFY(f.window->PointTable()->Cell(keldarn::points::kYColumn, 1).startsWith(QStringLiteral("120")));
    QVERIFY(f.window->PointTable()->Cell(keldarn::points::kXColumn, 2).startsWith(QStringLiteral("-")));
    // An item view keeps the focus frame's margin and one pixel inside a cell at either side.
    const int cellMargins =
        2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    for (int row = 1; row <= 2; ++row)
        for (int column : {keldarn::points::kXColumn, keldarn::points::kYColumn, keldarn::points::kHColumn}) {
            const QString text = f.window->PointTable()->Cell(column, row);
            QVERIFY2(table->fontMetrics().horizontalAdvance(text) + cellMargins <= table->columnWidth(column),
                     qPrintable(text));
        }
}

// Four parameters solved on one plane do not fit another: a change of the plane asks to solve
// them again and opens 四参数求解 on 是; a change that leaves the plane as it was, or
// parameters that transform nothing, ask nothing.
void SettingPagesTest::planeChangeOffersToSolveAgain_data()
{
    using keldarn::geodesy::EllipsoidChoice;
    using keldarn::geodesy::ZoneNumberInY;
    using keldarn::geodesy::ZoneWidth;
    QTest::addColumn<int>("ellipsoid");
    QTest::addColumn<int>("zoneWidth");
    QTest::addColumn<int>("zoneNumber");
    QTest::addColumn<QString>("rotation");
    QTest::addColumn<bool>("asked");
    const int program = static_cast<int>(EllipsoidChoice::Program),
              cgcs = static_cast<int>(EllipsoidChoice::Cgcs2000);
    const int three = static_cast<int>(ZoneWidth::Three), six = static_cast<int>(ZoneWidth::Six);
    const int guess = static_cast<int>(ZoneNumberInY::Guess), with = static_cast<int>(ZoneNumberInY::With),
              without = static_cast<int>(ZoneNumberInY::Without);
    QTest::newRow("ellipsoid") << cgcs << three << guess << QStringLiteral("2.5") << true;
    QTest::newRow("zone number in Y") << program << three << with << QStringLiteral("2.5") << true;
    QTest::newRow("ellipsoid, parameters 0") << cgcs << three << guess << QStringLiteral("0") << false;
    QTest::newRow("zone width alone") << program << six << guess << QStringLiteral("2.5") << false;
    QTest::newRow("Y read without zone number")
        << program << three << without << QStringLiteral("2.5") << false;
}

void SettingPagesTest::planeChangeOffersToSolveAgain()
{
    QFETCH(int, ellipsoid);
    QFETCH(int, zoneWidth);
    QFETCH(int, zoneNumber);
    QFETCH(QString, rotation);
    QFETCH(bool, asked);
    WindowFixture f;
    f.window->EditLL->setText(QStringLiteral("114"));
    f.window->EditRot->setText(rotation);
    keldarn::geodesy::ProjectionChoice choice;
    choice.ellipsoid = static_cast<keldarn::geodesy::EllipsoidChoice>(ellipsoid);
    choice.zoneWidth = static_cast<keldarn::geodesy::ZoneWidth>(zoneWidth);
    choice.zoneNumber = static_cast<keldarn::geodesy::ZoneNumberInY>(zoneNumber);
    f.dialogs.projectionChoices.push_back(choice);
    QTest::mouseClick(f.window->Button14, Qt::LeftButton);
    QCOMPARE(f.window->Projection(), choice);
    QCOMPARE(f.dialogs.questions.size(), asked ? 1 : 0);
    QCOMPARE(f.dialogs.controlRequests.size(), std::size_t{asked ? 1u : 0u});
}

QTEST_MAIN(SettingPagesTest)
#include "setting_pages_test.moc"
