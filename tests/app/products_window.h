#pragma once

// A main window over a DEM in a projected CRS (UTM 50N, a tilted plane, which bilinear
// interpolation reproduces exactly), for the terrain products: the DEM, KML routes and areas
// of UTM points, and the height the DEM gives at a survey grid point found independently of
// the program.

#include "app/main_window.h"
#include "earth/terrain_application.h"
#include "fakes.h"
#include "geodesy/four_param.h"
#include "geodesy/gauss_kruger.h"
#include "points/point_table_model.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace keldarn::testing {

// UTM 50N (central meridian 117°, as the survey zone): 200 × 200 cells of 30 m.
constexpr double kWestE = 497000.0, kNorthN = 3303000.0, kCellM = 30.0;
constexpr int kCells = 200;
constexpr double kDhM = 1.5;

inline double PlaneHeight(double eastingM, double northingM)
{
    return 100.0 + 0.01 * (eastingM - kWestE) + 0.02 * (kNorthN - northingM);
}

inline std::unique_ptr<OGRCoordinateTransformation> Transform(int fromEpsg, int toEpsg)
{
    OGRSpatialReference from, to;
    from.importFromEPSG(fromEpsg);
    to.importFromEPSG(toEpsg);
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return std::unique_ptr<OGRCoordinateTransformation>(OGRCreateCoordinateTransformation(&from, &to));
}

inline QString WriteDem(const QTemporaryDir& dir)
{
    GDALAllRegister();
    const QString path = dir.filePath(QStringLiteral("plane.tif"));
    GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.toUtf8().constData(), kCells, kCells, 1, GDT_Float32, nullptr);
    double geoTransform[6] = {kWestE, kCellM, 0.0, kNorthN, 0.0, -kCellM};
    dataset->SetGeoTransform(geoTransform);
    OGRSpatialReference utm;
    utm.importFromEPSG(32650);
    dataset->SetSpatialRef(&utm);
    std::vector<float> heights(static_cast<std::size_t>(kCells) * kCells);
    for (int r = 0; r < kCells; ++r)
        for (int c = 0; c < kCells; ++c)
            heights[static_cast<std::size_t>(r) * kCells + c] =
                static_cast<float>(PlaneHeight(kWestE + (c + 0.5) * kCellM, kNorthN - (r + 0.5) * kCellM));
    if (dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, kCells, kCells, heights.data(), kCells, kCells,
                                            GDT_Float32, 0, 0) != CE_None)
        qFatal("cannot write the DEM");
    GDALClose(dataset);
    return path;
}

// A KML placemark of UTM points; closed: a polygon, else a LineString.
inline QByteArray KmlOf(const std::vector<std::pair<double, double>>& utm, bool closed, const char* name)
{
    auto toWgs84 = Transform(32650, 4326);
    QByteArray coordinates;
    std::vector<std::pair<double, double>> points = utm;
    if (closed)
        points.push_back(utm.front());
    for (auto [e, n] : points) {
        toWgs84->Transform(1, &e, &n);
        coordinates += QByteArray::number(e, 'f', 9) + ',' + QByteArray::number(n, 'f', 9) + ' ';
    }
    const QByteArray geometry =
        closed ? "<Polygon><outerBoundaryIs><LinearRing><coordinates>" + coordinates +
                     "</coordinates></LinearRing></outerBoundaryIs></Polygon>"
               : "<LineString><coordinates>" + coordinates + "</coordinates></LineString>";
    return QByteArray("<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Placemark><name>") + name + "</name>" +
           geometry + "</Placemark></kml>";
}

struct ProductsWindow {
    // demAtStart: the viewer starts on the DEM, as with a DEM remembered from an earlier
    // run; otherwise the DEM is opened with 地形数据文件....
    explicit ProductsWindow(bool demAtStart = false)
    {
        app::MainWindowEnvironment env;
        env.settingsPath = dir.filePath(QStringLiteral("Keldarn.ini")).toStdString();
        env.dialogs = &dialogs;
        dem = WriteDem(dir);
        env.createViewer = [demAtStart, dem = dem] {
            return earth::CreateTerrainApplication({demAtStart ? dem.toStdString() : std::string()});
        };
        window = std::make_unique<app::TFormMain>(std::move(env));
        if (!demAtStart) {
            dialogs.filePaths.push_back(dem);
            Trigger(window->MSet, QStringLiteral("地形数据文件..."));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window->TerrainLoading(), 30000);
        window->EditLL->setText(QStringLiteral("117"));
        window->EditXdis->setText(QStringLiteral("100"));
        window->EditYdis->setText(QStringLiteral("-200"));
        window->EditRot->setText(QStringLiteral("3.5"));
        window->EditSca->setText(QStringLiteral("0.00001"));
        window->EditHdis->setText(QString::number(kDhM));
        dialogs.messages.clear();
    }
    void Trigger(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                action->trigger();
    }
    // Runs a terrain product and waits for its end.
    void Run(QMenu* menu, const QString& text)
    {
        Trigger(menu, text);
        QTRY_VERIFY_WITH_TIMEOUT(!window->SurveyTaskRunning(), 60000);
        QCoreApplication::processEvents();
    }
    QString Kml(const std::vector<std::pair<double, double>>& utm, bool closed, const char* name = "测区")
    {
        const QString path = dir.filePath(QStringLiteral("shape%1.kml").arg(++files));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(KmlOf(utm, closed, name));
        return path;
    }
    // The height the DEM gives at a survey grid point, found independently of the program's
    // sampling: the grid point back to WGS84, then to UTM with PROJ, then the plane.
    double DemHeightAt(double x, double y) const
    {
        const auto k = geodesy::MakeFourParamCoefficients({100.0, -200.0, 3.5, 0.00001, kDhM});
        const auto plane = geodesy::FourParamReverse(k, {x, y, 0.0});
        const auto geo = geodesy::PlaneToGeographic(plane.x, plane.y, 117.0);
        double e = geo.lonDeg, n = geo.latDeg;
        Transform(4326, 32650)->Transform(1, &e, &n);
        return PlaneHeight(e, n);
    }
    points::PointTableModel& Table() { return *window->PointTable(); }

    QTemporaryDir dir;
    QString dem;  // the DEM's file
    FakeDialogs dialogs;
    std::unique_ptr<app::TFormMain> window;
    int files = 0;
};

}  // namespace keldarn::testing
