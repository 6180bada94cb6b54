// A route profile as the user gets it: a route of about 100 km sampled every metre (some
// 100,000 samples) over the 121 M-cell GeoTIFF (one arc-second, 112°E..115.06°E), shown in
// the profile window and its chart drawn once. Each run opens the DEM afresh, so its blocks
// are decoded every time (the file itself stays in the system's cache).
// Target: at most 1 s.

#include "large_dem.h"

#include "app/dialogs.h"
#include "app/profile_window.h"
#include "survey/route_profile.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

class SilentDialogs : public keldarn::app::Dialogs {
public:
    void ShowMessage(QWidget*, const QString&, const QString&, keldarn::app::MessageIcon) override {}
    bool AskYesNo(QWidget*, const QString&, const QString&) override { return true; }
    QString GetSaveFileName(QWidget*, const keldarn::app::FileDialogOptions&) override { return {}; }
    QString GetOpenFileName(QWidget*, const keldarn::app::FileDialogOptions&) override { return {}; }
    QString GetExistingDirectory(QWidget*, const QString&) override { return {}; }
};

void BM_RouteProfile(benchmark::State& state)
{
    using namespace keldarn;
    const std::string path = bench::LargeGeoTiff(true);
    // A bend in the middle; 100.3 km on the survey grid of the 113°E zone.
    const std::vector<geodesy::GeoPoint> route{{.latDeg = 33.10, .lonDeg = 112.60},
                                               {.latDeg = 33.45, .lonDeg = 113.05},
                                               {.latDeg = 33.40, .lonDeg = 113.51}};
    const survey::SurveyFrame frame(113.0, {});
    SilentDialogs dialogs;
    app::ProfileWindow window(dialogs);
    window.resize(1600, 900);
    window.show();
    QApplication::processEvents();
    std::size_t samples = 0;
    for (auto _ : state) {
        raster::ElevationSource dem(path);
        std::vector<survey::ProfileSample> profile = survey::SampleRoute(
            route, 1.0, frame, survey::ChainageMeasure::SurveyPlane, survey::HeightsOf(dem));
        samples = profile.size();
        window.SetProfile(QStringLiteral("bench"), std::move(profile));
        QImage image(window.Chart()->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        window.Chart()->Render(painter, image.size(), false);
    }
    state.counters["samples"] = static_cast<double>(samples);
    state.counters["route_km"] = window.Samples().back().chainageM / 1000.0;
}
BENCHMARK(BM_RouteProfile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
