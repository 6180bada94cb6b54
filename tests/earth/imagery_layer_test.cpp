// The viewer's imagery layer: what it holds stays within its memory bound however often the
// view moves, hiding it keeps what was read, and a source that cannot be used is told once.

#include "earth/imagery_layer.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace keldarn::earth {
namespace {

// A grey-green WGS84 image of 0.0001° cells over 113.50–113.60 E, 33.20–33.30 N.
std::string WriteImage(const QTemporaryDir& dir)
{
    GDALAllRegister();
    const std::string path = dir.filePath(QStringLiteral("photo.tif")).toStdString();
    GDALDataset* dataset =
        GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 1000, 1000, 3, GDT_Byte, nullptr);
    double transform[6] = {113.5, 0.0001, 0.0, 33.3, 0.0, -0.0001};
    dataset->SetGeoTransform(transform);
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    dataset->SetSpatialRef(&wgs84);
    for (int b = 1; b <= 3; ++b)
        dataset->GetRasterBand(b)->Fill(60.0 * b);
    GDALClose(dataset);
    return path;
}

template <typename Condition> bool WaitFor(Condition done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

constexpr geodesy::GeoBox kGround{.southDeg = 33.2, .westDeg = 113.5, .northDeg = 33.3, .eastDeg = 113.6};

TEST(ImageryLayer, HoldsNoMoreThanItsBoundAndKeepsWhatItReadWhileHidden)
{
    QTemporaryDir dir;
    int failures = 0;
    ImageryLayer layer({{}, {}, [&](const QString&) { ++failures; }});
    ImageryLayerSettings settings;
    settings.source = WriteImage(dir);
    settings.memoryBoundBytes = 2u << 20;
    layer.Apply(settings, kGround);
    ASSERT_TRUE(WaitFor([&] { return layer.Drape() != nullptr && !layer.IsReading(); }));
    // Views all over the image, each read at screen resolution.
    for (int k = 0; k < 8; ++k) {
        const double west = 113.5 + 0.01 * k, south = 33.2 + 0.01 * k;
        layer.ViewChanged(
            geodesy::GeoBox{
                .southDeg = south, .westDeg = west, .northDeg = south + 0.003, .eastDeg = west + 0.004},
            QSize(800, 600));
        ASSERT_TRUE(WaitFor([&] { return !layer.IsReading(); }));
        EXPECT_LE(layer.Drape()->Bytes(), settings.memoryBoundBytes) << k;
    }
    EXPECT_GT(layer.Drape()->Images().size(), 1u);
    EXPECT_EQ(failures, 0);
    // Hidden and shown again, with another opacity: nothing is read again.
    const std::size_t held = layer.Drape()->Images().size();
    settings.visible = false;
    layer.Apply(settings, kGround);
    EXPECT_EQ(layer.Drape(), nullptr);
    settings.visible = true;
    settings.opacity = 0.4;
    layer.Apply(settings, kGround);
    EXPECT_FALSE(layer.IsReading());
    ASSERT_NE(layer.Drape(), nullptr);
    EXPECT_EQ(layer.Drape()->Images().size(), held);
    EXPECT_DOUBLE_EQ(layer.Drape()->Opacity(), 0.4);
}

TEST(ImageryLayer, ASourceThatCannotBeUsedIsToldOnceAndLeavesNoImagery)
{
    QTemporaryDir dir;
    QStringList failures;
    ImageryLayer layer({{}, {}, [&](const QString& message) { failures << message; }});
    ImageryLayerSettings settings;
    settings.source = dir.filePath(QStringLiteral("absent.tif")).toStdString();
    layer.Apply(settings, kGround);
    ASSERT_TRUE(WaitFor([&] { return !failures.isEmpty() && !layer.IsReading(); }));
    layer.ViewChanged(kGround, QSize(800, 600));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(QStringLiteral("absent.tif"))) << failures[0].toStdString();
    EXPECT_EQ(layer.Drape(), nullptr);
}

}  // namespace
}  // namespace keldarn::earth
