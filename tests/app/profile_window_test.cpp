// The profile window: saved charts, the cursor readout, the vertical exaggeration and the
// request to put the samples in the point table.

#include "app/profile_window.h"
#include "fakes.h"

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using keldarn::app::ProfileChart;
using keldarn::app::ProfileWindow;
using keldarn::survey::ProfileSample;
using keldarn::testing::FakeDialogs;

namespace {

// 0 to 1000 m every 10 m rising from 100 to 150 m, no terrain from 500 to 540 m, vertices at
// 0, 300 and 1000 m.
std::vector<ProfileSample> RisingProfile()
{
    std::vector<ProfileSample> samples;
    for (int c = 0; c <= 1000; c += 10) {
        ProfileSample s;
        s.chainageM = c;
        if (c < 500 || c > 540)
            s.heightM = 100.0 + 0.05 * c;
        s.isVertex = c == 0 || c == 300 || c == 1000;
        samples.push_back(s);
    }
    return samples;
}

QPushButton* Button(QWidget* window, const QString& text)
{
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

// Rows from the highest to the lowest pixel of the profile's colour; 0 when there is none.
int ProfileRowsSpanned(const QImage& image)
{
    int top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (ProfileChart::kProfileRgb & 0xffffff)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return bottom < 0 ? 0 : bottom - top + 1;
}

QImage Rendered(const ProfileChart& chart)
{
    QImage image(chart.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart.Render(painter, image.size(), false);
    return image;
}

}  // namespace

class ProfileWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        window = std::make_unique<ProfileWindow>(dialogs);
        window->resize(900, 520);
        window->SetProfile(QStringLiteral("G318"), RisingProfile());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window.reset();
        dialogs = FakeDialogs();
    }

    void savesPngAndSvgAndNamesAFileItCannotWrite()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("纵断面 - G318"));
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("profile.png"));
        const QString svg = dir.filePath(QStringLiteral("profile.svg"));
        const QString unwritable = dir.filePath(QStringLiteral("missing/profile.png"));
        dialogs.filePaths = {png, svg, unwritable};
        Button(window.get(), QStringLiteral("保存PNG..."))->click();
        Button(window.get(), QStringLiteral("保存SVG..."))->click();
        QVERIFY(dialogs.messages.empty());
        Button(window.get(), QStringLiteral("保存PNG..."))->click();

        const QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(ProfileRowsSpanned(image) > 0);
        QFile svgFile(svg);
        QVERIFY(svgFile.open(QIODevice::ReadOnly));
        QVERIFY(svgFile.readAll().contains("<svg"));
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("missing")));
    }

    void readoutNamesTheNearestSample_data()
    {
        QTest::addColumn<double>("share");  // of the plot's width from its left edge
        QTest::addColumn<QString>("readout");
        QTest::newRow("rising") << 0.252 << QStringLiteral("里程 K0+250.000  高程 112.50 m");
        QTest::newRow("no terrain") << 0.521 << QStringLiteral("里程 K0+520.000  高程 无");
        QTest::newRow("end") << 1.0 << QStringLiteral("里程 K1+000.000  高程 150.00 m");
    }
    void readoutNamesTheNearestSample()
    {
        QFETCH(double, share);
        QFETCH(QString, readout);
        ProfileChart* chart = window->Chart();
        const QRect plot = chart->PlotRect();
        const QPointF at(plot.left() + share * plot.width(), plot.center().y());
        QMouseEvent move(QEvent::MouseMove, at, chart->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(chart, &move);
        QCOMPARE(chart->Readout(), readout);
    }

    // The whole profile fills the plot's height at first; half the exaggeration, half the height.
    void exaggerationScalesTheDrawnHeights()
    {
        ProfileChart* chart = window->Chart();
        const int filled = ProfileRowsSpanned(Rendered(*chart));
        QVERIFY(std::abs(filled - 0.9 * chart->PlotRect().height()) < 4);

        chart->SetVerticalExaggeration(chart->VerticalExaggeration() / 2);
        QVERIFY(std::abs(ProfileRowsSpanned(Rendered(*chart)) - filled / 2.0) < 3);
    }

    // 100,000 samples on fewer than 1000 pixel columns: a one-sample peak still shows.
    void manySamplesKeepTheirPeaks()
    {
        std::vector<ProfileSample> samples(100000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i].chainageM = static_cast<double>(i);
            samples[i].heightM = i == 50001 ? 200.0 : 100.0;
        }
        window->SetProfile(QStringLiteral("G318"), std::move(samples));
        ProfileChart* chart = window->Chart();
        QVERIFY(ProfileRowsSpanned(Rendered(*chart)) > 0.85 * chart->PlotRect().height());
    }

    void addToTableParsesTheStartChainage()
    {
        QSignalSpy spy(window.get(), &ProfileWindow::addToTable);
        auto* start = window->findChild<QLineEdit*>(QStringLiteral("StartChainage"));
        QPushButton* add = Button(window.get(), QStringLiteral("加入点表"));
        start->setText(QStringLiteral(" k1+250.5 "));
        add->click();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toString(), QStringLiteral("G318"));
        QCOMPARE(spy[0][1].toDouble(), 1250.5);

        start->setText(QStringLiteral("K1+25O"));
        add->click();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(dialogs.messages.size(), std::size_t{1});
        QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("K1+25O")));
    }

private:
    FakeDialogs dialogs;
    std::unique_ptr<ProfileWindow> window;
};

QTEST_MAIN(ProfileWindowTest)
#include "profile_window_test.moc"
