// The window and keldarn-cli through the same operations: a profile along a KML route
// (the table's export, its CSV, the chart's SVG), the table's rows as elevation points, and
// contours inside a KML area, made once by the window's commands over a DEM and once by the
// keldarn-cli program, must be the same bytes.

#include "app/profile_window.h"
#include "cad/drawing_document.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "cad/dxf_writer.h"
#include "points/export_writer.h"
#include "products_window.h"

#include <QProcess>
#include <QPushButton>

using keldarn::testing::ProductsWindow;

namespace {

const QStringList kFrame = {"--meridian", "117",     "--dx",    "100",  "--dy", "-200",   "--rot",
                            "3.5",        "--scale", "0.00001", "--dh", "1.5",  "--quiet"};

// keldarn-cli in Chinese, as the window under test speaks, in the test's locale otherwise
// (fonts are matched for the locale's language); its exit status.
int RunCli(const QStringList& arguments)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("zh_CN"));
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(KELDARN_CLI), arguments);
    if (!cli.waitForFinished(120000))
        return -1;
    if (cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        qWarning("%s", cli.readAllStandardError().constData());
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QPushButton* Button(QWidget* window, const QString& text)
{
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

keldarn::cad::DrawingWindow* NewDrawing(ProductsWindow& p)
{
    p.Trigger(p.window->MConvert, QStringLiteral("新建CAD图形"));
    return p.window->DrawingHost()->Window();
}

}  // namespace

class CliParityTest : public QObject {
    Q_OBJECT

private slots:
    void profileAndElevationPoints();
    void contours();
};

void CliParityTest::profileAndElevationPoints()
{
    ProductsWindow p(true);
    const QString route = p.Kml({{498000, 3298000}, {500000, 3299000}, {500500, 3301234}}, false, "渠线");
    p.dialogs.filePaths.push_back(route);
    p.dialogs.productChoices.push_back({keldarn::app::ShapeSource::KmlFile, QStringLiteral("100"), false});
    p.Run(p.window->MData, QStringLiteral("纵断面..."));
    QCOMPARE(p.window->ProfileWindows().size(), std::size_t{1});
    keldarn::app::ProfileWindow* profile = p.window->ProfileWindows().front();
    const QSize chart = profile->Chart()->size();
    const QString windowSvg = p.dir.filePath(QStringLiteral("window.svg"));
    p.dialogs.filePaths.push_back(windowSvg);
    Button(profile, QStringLiteral("保存SVG..."))->click();
    Button(profile, QStringLiteral("加入点表"))->click();
    const QString windowDat = p.dir.filePath(QStringLiteral("window.dat"));
    p.dialogs.filePaths.push_back(windowDat);
    QTest::mouseClick(p.window->Button2, Qt::LeftButton);
    QVERIFY(p.Table().DataRowCount() > 40);
    // The CSV holds the table's rows in the export's default fields, with the column titles.
    QByteArray windowCsv = "点名,描述,Y坐标,X坐标,高程H\n";
    for (int row = 1; row <= p.Table().DataRowCount(); ++row)
        windowCsv += keldarn::points::ExportLine(p.Table(), row, {{0, 1, 3, 2, 4}, ","}) + "\n";

    keldarn::cad::DrawingWindow* drawing = NewDrawing(p);
    QVERIFY(drawing != nullptr);
    p.Trigger(p.window->MConvert, QStringLiteral("高程点到CAD图形"));
    const std::string windowPoints = keldarn::cad::DxfBytes(drawing->Document().Model());
    drawing->Document().ChangesShown();

    const QStringList run =
        QStringList{"profile", "--terrain", p.dem, "--interval", "100", "--kml", route} + kFrame;
    for (const char* name : {"cli.dat", "cli.csv", "cli.svg"}) {
        const QString output = p.dir.filePath(QLatin1String(name));
        QCOMPARE(
            RunCli(run + QStringList{"--size", QStringLiteral("%1x%2").arg(chart.width()).arg(chart.height()),
                                     "--output", output}),
            0);
        const QString window = output.endsWith(QLatin1String(".dat"))   ? windowDat
                               : output.endsWith(QLatin1String(".svg")) ? windowSvg
                                                                        : QString();
        QCOMPARE(Read(output), window.isEmpty() ? windowCsv : Read(window));
    }
    const QString cliPoints = p.dir.filePath(QStringLiteral("points.dxf"));
    QCOMPARE(RunCli({"points2dxf", "--input", windowDat, "--output", cliPoints, "--quiet"}), 0);
    QCOMPARE(Read(cliPoints), QByteArray::fromStdString(windowPoints));
    profile->close();
}

void CliParityTest::contours()
{
    ProductsWindow p(true);
    keldarn::cad::DrawingWindow* drawing = NewDrawing(p);
    QVERIFY(drawing != nullptr);
    const QString area =
        p.Kml({{498000, 3298000}, {502000, 3298000}, {502000, 3302000}, {498000, 3302000}}, true);
    p.dialogs.filePaths.push_back(area);
    p.dialogs.productChoices.push_back({keldarn::app::ShapeSource::KmlFile, QStringLiteral("10"), false});
    p.Run(p.window->MConvert, QStringLiteral("等高线到CAD图形..."));
    QVERIFY(!drawing->Document().Model().Polylines().empty());
    const QString output = p.dir.filePath(QStringLiteral("contours.dxf"));
    const QStringList run = {"contours", "--terrain", p.dem,      "--interval", "10",
                             "--kml",    area,        "--output", output};
    QCOMPARE(RunCli(run + kFrame), 0);
    QCOMPARE(Read(output), QByteArray::fromStdString(keldarn::cad::DxfBytes(drawing->Document().Model())));
    drawing->Document().ChangesShown();
}

QTEST_MAIN(CliParityTest)
#include "cli_parity_test.moc"
