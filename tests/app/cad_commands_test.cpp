// The two drawing conversions as the main window runs them.

#include "app/dialogs.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "fake_acad.h"
#include "geodesy/four_param.h"
#include "geodesy/gauss_kruger.h"
#include "window_fixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QtTest>

#include <zip.h>

using keldarn::testing::FakeAcad;
using keldarn::testing::FakeAcadEntity;
using keldarn::testing::WindowFixture;

namespace {

void Trigger(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            action->trigger();
}

struct CadFixture : WindowFixture {
    CadFixture()
    {
        window->EditLL->setText(QStringLiteral("114"));
        dialogs.messages.clear();
    }
    void Attach(bool open)
    {
        // The environment is read when commands run, so the window is rebuilt with it.
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = (dir.path() + QStringLiteral("/Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        env.attachCad = [this, open]() -> keldarn::cad::IAcadApplication* { return open ? &acad : nullptr; };
        window = std::make_unique<keldarn::app::TFormMain>(std::move(env));
        window->EditLL->setText(QStringLiteral("114"));
        dialogs.messages.clear();
    }
    FakeAcad acad;
};

constexpr const char* kToCad = "KML文件转为CAD图形";
constexpr const char* kToKml = "CAD图形转为KML文件";

}  // namespace

class CadCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void needCentralMeridianAndDrawingWindow();
    void drawsKmlIntoTheDrawing();
    void kmlErrorKeepsWhatWasDrawn();
    void kmzEntryBoundComesFromTheSettingsFile();
    void kmlEndMessageSaysWhatWasFound_data();
    void kmlEndMessageSaysWhatWasFound();
    void writesPickedEntitiesAsKml();
    void overwriteRefusedStartsNoSelection();
    void nothingPickedWritesNoFile();
    void leavesOutEntitiesFarOutsideTheZone();
    void filtersOfferBothCases();
    void drawsIntoTheRealDrawingWindow();
};

void CadCommandsTest::needCentralMeridianAndDrawingWindow()
{
    CadFixture f;
    f.Attach(true);
    f.window->EditLL->setText(QStringLiteral("  "));
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));
    QCOMPARE(f.dialogs.MessageTexts(), (QStringList{"中央子午线没有设置！", "中央子午线没有设置！"}));
    QVERIFY(!f.acad.visible);

    f.Attach(false);
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));
    QCOMPARE(f.dialogs.MessageTexts(), (QStringList{"AutoCAD尚未打开！", "AutoCAD尚未打开！"}));
    QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Information);
}

void CadCommandsTest::drawsKmlIntoTheDrawing()
{
    CadFixture f;
    f.Attach(true);
    const QString kml = f.WriteFile(QStringLiteral("a.kml"),
                                    "<kml><Document><name>doc</name><Placemark><name>A</name><Point><coordinates>"
                                    "113.5538,33.2677,0</coordinates></Point></Placemark><Placemark><name>L</name>"
                                    "<LineString><coordinates>113.55,33.26 113.56,33.27</coordinates></LineString>"
                                    "</Placemark></Document></kml>");
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));  // cancelled dialog: nothing drawn, no message
    QVERIFY(f.acad.visible);
    QVERIFY(f.dialogs.messages.empty());
    QVERIFY(f.dialogs.lastOpenOptions.filter.startsWith(QStringLiteral("GoogleEarth KML files")));

    f.dialogs.filePaths.push_back(kml);
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("绘图结束，请切换到CAD窗口查看结果。")});
    QCOMPARE(f.acad.points.size(), std::size_t{1});
    QCOMPARE(f.acad.texts.size(), std::size_t{1});
    QCOMPARE(f.acad.texts[0].text, std::string("A"));
    QCOMPARE(f.acad.texts[0].height, 6.0);  // 3 × LtScale
    // Drawing x is the easting, y the northing.
    QVERIFY(std::abs(f.acad.points[0].x - 458427.379) < 0.001);
    QVERIFY(std::abs(f.acad.points[0].y - 3682526.192) < 0.001);
    QCOMPARE(f.acad.texts[0].at.x, f.acad.points[0].x);
    QCOMPARE(f.acad.polylines.size(), std::size_t{1});
    QCOMPARE(f.acad.polylines[0].size(), std::size_t{4});
}

void CadCommandsTest::kmlErrorKeepsWhatWasDrawn()
{
    CadFixture f;
    f.Attach(true);
    f.dialogs.filePaths.push_back(f.WriteFile(
        QStringLiteral("bad.kml"), "<kml><Placemark><name>A</name><Point><coordinates>113.5,33.2</coordinates></Point>"
                                   "</Placemark>\n<Placemark><Point><coordinates>abc,33</coordinates></Point>"
                                   "</Placemark></kml>"));
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    QCOMPARE(f.acad.points.size(), std::size_t{1});
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(f.dialogs.messages[0].text.contains(QStringLiteral("bad.kml")));
    QVERIFY(f.dialogs.messages[0].text.contains(QStringLiteral("2")));  // the line
}

// [KML] KmzEntryMB of the settings file bounds the conversion: a value that does not read is
// said at start, and the bound the file sets refuses a larger entry by name, keeping what
// was drawn from the part read.
void CadCommandsTest::kmzEntryBoundComesFromTheSettingsFile()
{
    const WindowFixture start(false, "[KML]\nKmzEntryMB=lots\n", true);
    QVERIFY2(start.dialogs.MessageTexts().join('|').contains(QStringLiteral("KmzEntryMB=lots")),
             qPrintable(start.dialogs.MessageTexts().join('|')));

    CadFixture f;
    f.WriteFile(QStringLiteral("Keldarn.ini"), "[KML]\nKmzEntryMB=1\n");
    f.Attach(true);
    const std::string placemark =
        "<Placemark><name>P</name><Point><coordinates>113.5,33.2</coordinates></Point></Placemark>\n";
    std::string kml = "<kml><Document>\n";
    while (kml.size() < (2 << 20))
        kml += placemark;
    kml += "</Document></kml>\n";
    const QString kmz = f.dir.filePath(QStringLiteral("big.kmz"));
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(kmz).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(archive != nullptr);
    QVERIFY(zip_file_add(archive, "doc.kml", zip_source_buffer(archive, kml.data(), kml.size(), 0), 0) >= 0);
    QCOMPARE(zip_close(archive), 0);
    f.dialogs.filePaths.push_back(kmz);
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    QCOMPARE(
        f.dialogs.MessageTexts(),
        QStringList{QStringLiteral("KMZ文件 big.kmz 中的 doc.kml 解压后超过 1 MB，已停止读取。如确需读取，"
                                   "可在设置文件 Keldarn.ini 的 [KML] 节把 KmzEntryMB 调大。")});
    QVERIFY(!f.acad.points.empty());
    QVERIFY(f.acad.points.size() <= (1 << 20) / placemark.size());
}

void CadCommandsTest::kmlEndMessageSaysWhatWasFound_data()
{
    QTest::addColumn<QByteArray>("kml");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("warning");
    const QByteArray model = "<Placemark><name>楼</name><Model><Location><longitude>113.5</longitude>"
                             "<latitude>33.2</latitude></Location></Model></Placemark>";
    QTest::newRow("models only")
        << "<kml><Document>" + model + model + model + "<Placemark><name>空</name></Placemark>"
               "<GroundOverlay><Icon><href>a.jpg</href></Icon></GroundOverlay></Document></kml>"
        << QStringLiteral("KML文件中没有可绘制的点或线（文件中有：4 个地标（Placemark）、3 个三维模型（Model）、"
                          "1 个图片叠加层（Overlay））。")
        << true;
    QTest::newRow("nothing") << QByteArray("<kml><Document><name>空文件</name></Document></kml>")
                             << QStringLiteral("KML文件中没有可绘制的点或线，也没有地标（Placemark）。") << true;
    QTest::newRow("track and outside link")
        << QByteArray("<kml xmlns:gx='http://www.google.com/kml/ext/2.2'><Placemark><gx:Track>"
                      "<gx:coord>113.5 33.2 0</gx:coord><gx:coord>113.6 33.3 0</gx:coord></gx:Track></Placemark>"
                      "<NetworkLink><Link><href>http://example.com/a.kml</href></Link></NetworkLink></kml>")
        << QStringLiteral("绘图结束，请切换到CAD窗口查看结果。\n"
                          "有 1 个网络链接（NetworkLink）指向文件以外的地址，没有读取：http://example.com/a.kml")
        << false;
}

void CadCommandsTest::kmlEndMessageSaysWhatWasFound()
{
    QFETCH(QByteArray, kml);
    QFETCH(QString, message);
    QFETCH(bool, warning);
    CadFixture f;
    f.Attach(true);
    f.dialogs.filePaths.push_back(f.WriteFile(QStringLiteral("a.kml"), kml));
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{message});
    QCOMPARE(f.dialogs.messages[0].icon,
             warning ? keldarn::app::MessageIcon::Warning : keldarn::app::MessageIcon::Information);
}

void CadCommandsTest::writesPickedEntitiesAsKml()
{
    CadFixture f;
    f.Attach(true);
    f.window->EditXdis->setText(QStringLiteral("100"));
    f.window->EditRot->setText(QStringLiteral("10"));
    const keldarn::geodesy::PlanePoint plane = keldarn::geodesy::GeographicToPlane(33.2677, 113.5538, 114);
    const auto grid = keldarn::geodesy::FourParamForward(keldarn::geodesy::FourParameterSet{100, 0, 10, 0, 0},
                                                         {plane.x, plane.y, 0});
    f.acad.toPick.push_back(std::make_unique<FakeAcadEntity>("A&B 校正点", grid.y, grid.x));
    f.acad.toPick.push_back(
        std::make_unique<FakeAcadEntity>(std::vector<double>{grid.y, grid.x, grid.y + 50, grid.x, grid.y, grid.x + 50}, true));
    const QString path = f.dir.filePath(QStringLiteral("out.KML"));
    f.dialogs.filePaths.push_back(path);
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));

    QCOMPARE(f.dialogs.lastSaveOptions.defaultSuffix, QStringLiteral("KML"));
    QCOMPARE(f.dialogs.lastSaveOptions.filter, QStringLiteral("GoogleEarth KML files (*.KML)|*.KML"));
    QCOMPARE(f.dialogs.lastSaveOptions.fileName, QStringLiteral("CoordInfo"));
    QCOMPARE(f.acad.setName, std::string("ssObj"));
    QCOMPARE(f.acad.filterData.size(), std::size_t{8});
    QVERIFY(!f.acad.setAlive);
    QCOMPARE(f.dialogs.MessageTexts(),
             QStringList{QStringLiteral("图形转换完毕，可在GoogleEarth中打开KML文件以查看结果。")});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString kml = QString::fromUtf8(file.readAll());
    QVERIFY(kml.contains(QStringLiteral("<name>A&amp;B 校正点</name>")));
    QVERIFY(kml.contains(QStringLiteral("<name>Region1</name>")));
    // The text goes back to where it came from: the reverse transformation is exact.
    const QRegularExpression pointLine(QStringLiteral("<Point>\\r\\n<coordinates>\\r\\n([-0-9.]+),([-0-9.]+),0\\r\\n"));
    const QRegularExpressionMatch match = pointLine.match(kml);
    QVERIFY(match.hasMatch());
    QVERIFY(std::abs(match.captured(1).toDouble() - 113.5538) < 1e-9);
    QVERIFY(std::abs(match.captured(2).toDouble() - 33.2677) < 1e-9);
}

void CadCommandsTest::overwriteRefusedStartsNoSelection()
{
    CadFixture f;
    f.Attach(true);
    const QString path = f.WriteFile(QStringLiteral("old.kml"), "old");
    f.dialogs.filePaths.push_back(path);
    f.dialogs.answerYes = false;
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));
    QCOMPARE(f.acad.setsMade, 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
    QVERIFY(f.dialogs.messages.empty());
}

void CadCommandsTest::nothingPickedWritesNoFile()
{
    CadFixture f;
    f.Attach(true);
    const QString path = f.dir.filePath(QStringLiteral("none.kml"));
    f.dialogs.filePaths.push_back(path);
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));
    QCOMPARE(f.acad.setsMade, 1);
    QVERIFY(!f.acad.setAlive);
    QVERIFY(!QFile::exists(path));
    QVERIFY(f.dialogs.messages.empty());
}

void CadCommandsTest::leavesOutEntitiesFarOutsideTheZone()
{
    CadFixture f;
    f.Attach(true);
    const QString path = f.dir.filePath(QStringLiteral("part.kml"));
    f.dialogs.filePaths.push_back(path);
    f.acad.toPick.push_back(std::make_unique<FakeAcadEntity>("A", 500000.0, 3000000.0));
    f.acad.toPick.push_back(std::make_unique<FakeAcadEntity>("far", 5e9, 3000000.0));
    // A vertex past the pole leaves out the whole polyline.
    f.acad.toPick.push_back(
        std::make_unique<FakeAcadEntity>(std::vector<double>{500000, 3000000, 500000, 2.5e7}, false));
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));
    QCOMPARE(f.dialogs.MessageTexts(),
             QStringList{QStringLiteral("图形转换完毕，可在GoogleEarth中打开KML文件以查看结果。\n"
                                        "有2个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），没有写入KML文件。")});
    QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Warning);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("<Placemark>"), 1);

    // Nothing left to write is no success, and leaves no file.
    const QString none = f.dir.filePath(QStringLiteral("none.kml"));
    f.dialogs.filePaths.push_back(none);
    f.dialogs.messages.clear();
    f.acad.toPick.push_back(std::make_unique<FakeAcadEntity>("far", 5e9, 3000000.0));
    Trigger(f.window->MConvert, QString::fromUtf8(kToKml));
    QVERIFY(!QFile::exists(none));
    QCOMPARE(f.dialogs.MessageTexts(),
             QStringList{QStringLiteral("选中的图元中没有可以写入KML的文字或多段线：有1个对象的坐标远在投影带之外"
                                        "（超出±1e9或纬度超过90°），请检查中央子午线和四参数")});
    QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Error);
}

void CadCommandsTest::filtersOfferBothCases()
{
    QCOMPARE(keldarn::app::QtFilterFromPairs(
                 QStringLiteral("GoogleEarth KML files (*.KML *.KMZ)|*.KML;*.KMZ|All files (*.*)|*.*")),
             QStringLiteral("GoogleEarth KML files (*.KML *.kml *.KMZ *.kmz);;All files (*)"));
    QCOMPARE(keldarn::app::QtFilterFromPairs(QStringLiteral("Text files (*.dat)|*.dat")),
             QStringLiteral("Text files (*.dat *.DAT)"));
}

void CadCommandsTest::drawsIntoTheRealDrawingWindow()
{
    WindowFixture f;
    f.window->EditLL->setText(QStringLiteral("114"));
    f.dialogs.messages.clear();
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("AutoCAD尚未打开！")});

    Trigger(f.window->MConvert, QStringLiteral("新建CAD图形"));
    QVERIFY(f.window->DrawingHost()->Attach() != nullptr);
    f.dialogs.messages.clear();
    f.dialogs.filePaths.push_back(f.WriteFile(
        QStringLiteral("p.kml"),
        "<kml><Placemark><name>界桩1</name><Point><coordinates>113.5538,33.2677</coordinates></Point></Placemark></kml>"));
    Trigger(f.window->MConvert, QString::fromUtf8(kToCad));
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("绘图结束，请切换到CAD窗口查看结果。")});
    QVERIFY(f.window->DrawingHost()->Window()->IsModified());
}

QTEST_MAIN(CadCommandsTest)
#include "cad_commands_test.moc"
