// Grid sampling through the same code path as the "自动采点" button: the terrain viewer
// on the demonstration terrain, or on a 121 M-cell GeoTIFF whose own heights every pick
// reports, the projection, the transformation and the appends to the point table.
// Target: 100,000 points in at most 1 s.

#include "large_dem.h"

#include "app/dialogs.h"
#include "app/main_window.h"
#include "earth/terrain_application.h"
#include "points/point_table_model.h"

#include <QApplication>
#include <QLineEdit>
#include <QThread>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

namespace {

class SilentDialogs : public keldarn::app::Dialogs {
public:
    void ShowMessage(QWidget*, const QString&, const QString&, keldarn::app::MessageIcon) override {}
    bool AskYesNo(QWidget*, const QString&, const QString&) override { return true; }
    QString GetSaveFileName(QWidget*, const keldarn::app::FileDialogOptions&) override { return {}; }
    QString GetOpenFileName(QWidget*, const keldarn::app::FileDialogOptions&) override { return {}; }
    QString GetExistingDirectory(QWidget*, const QString&) override { return {}; }
};

// A scratch folder for the settings file, removed after each benchmark.
std::filesystem::path BenchDir()
{
    return std::filesystem::temp_directory_path() / "keldarn_bench_sampling";
}

// The window's environment with its settings file in BenchDir().
keldarn::app::MainWindowEnvironment BenchEnvironment(SilentDialogs& dialogs)
{
    const std::filesystem::path dir = BenchDir();
    std::filesystem::create_directories(dir);
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = dir / "Keldarn.ini";
    env.dialogs = &dialogs;
    return env;
}

// The window's grid sampling runs as a task; the run ends when its rows are in the table.
void SampleAndWait(keldarn::app::TFormMain& window)
{
    window.Button5Click();
    while (window.SurveyTaskRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void BM_SampleGrid(benchmark::State& state)
{
    const auto tilt = static_cast<int>(state.range(0));
    SilentDialogs dialogs;
    keldarn::app::MainWindowEnvironment env = BenchEnvironment(dialogs);
    env.createViewer = [] { return keldarn::earth::CreateTerrainApplication({}); };
    keldarn::app::TFormMain window(std::move(env));
    window.resize(1600, 1000);
    window.show();
    QApplication::processEvents();
    window.EditLL->setText(QStringLiteral("114"));
    window.EditTilt->setText(QString::number(tilt));
    window.Button9Click();
    // 316 × 316 points = 99,856.
    window.EditDx->setText(QStringLiteral("3150"));
    window.EditDy->setText(QStringLiteral("3150"));
    window.EditPd->setText(QStringLiteral("10"));
    std::int64_t points = 0;
    for (auto _ : state) {
        window.N3Click();
        SampleAndWait(window);
        points += window.PointTable()->DataRowCount();
    }
    state.SetItemsProcessed(points);
    state.counters["rows"] = window.PointTable()->DataRowCount();
    window.close();
    std::filesystem::remove_all(BenchDir());
}
BENCHMARK(BM_SampleGrid)->Arg(0)->Arg(60)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same on the 121 M-cell GeoTIFF with overviews (one arc-second, 112°E..115.06°E,
// 31.94°N..35°N), at a 3 km view in its middle: each pick is refined against the file's
// full-resolution heights. The first run reads the blocks under the view (warm file cache,
// empty block cache); first_run_ms is its time, the mean includes it.
void BM_SampleGridOnLargeDem(benchmark::State& state)
{
    const auto tilt = static_cast<int>(state.range(0));
    const std::string path = keldarn::bench::LargeGeoTiff(true);
    SilentDialogs dialogs;
    keldarn::app::MainWindowEnvironment env = BenchEnvironment(dialogs);
    keldarn::earth::TerrainApplication* viewer = nullptr;
    env.createViewer = [&viewer, path] {
        auto application = keldarn::earth::CreateTerrainApplication({path});
        viewer = application.get();
        return application;
    };
    keldarn::app::TFormMain window(std::move(env));
    window.resize(1600, 1000);
    window.show();
    QApplication::processEvents();
    // The finer grid is read in the background; sampling starts once it is shown, as it
    // would for a user who waits for the view to settle.
    while (viewer != nullptr && viewer->IsLoading()) {
        QThread::msleep(20);
        QApplication::processEvents();
    }
    window.EditLL->setText(QStringLiteral("114"));
    window.EditFLat->setText(QString::number(keldarn::bench::kLargeDemCentreLatDeg, 'f', 6));
    window.EditFLng->setText(QString::number(keldarn::bench::kLargeDemCentreLonDeg, 'f', 6));
    window.EditFAlt->setText(QStringLiteral("0"));
    window.EditRange->setText(QStringLiteral("3000"));
    window.EditTilt->setText(QString::number(tilt));
    window.EditAzi->setText(QStringLiteral("0"));
    window.Button9Click();
    // 316 × 316 points = 99,856.
    window.EditDx->setText(QStringLiteral("3150"));
    window.EditDy->setText(QStringLiteral("3150"));
    window.EditPd->setText(QStringLiteral("10"));
    std::int64_t points = 0;
    double firstRunMs = -1.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        window.N3Click();
        SampleAndWait(window);
        if (firstRunMs < 0.0)
            firstRunMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        points += window.PointTable()->DataRowCount();
    }
    state.SetItemsProcessed(points);
    state.counters["rows"] = window.PointTable()->DataRowCount();
    state.counters["first_run_ms"] = firstRunMs;
    window.close();
    std::filesystem::remove_all(BenchDir());
}
BENCHMARK(BM_SampleGridOnLargeDem)
    ->Arg(0)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

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
