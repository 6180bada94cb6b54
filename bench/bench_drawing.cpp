// The drawing window at survey sizes: a frame of a quarter of a million points and texts
// (as a KML of 125,000 placemarks draws them) at three zoom levels, adding 240,000
// entities through the automation interface, saving as DXF, and loading a DXF file of a
// million entities with the peak memory it takes (offscreen platform).

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "cad/drawing_document.h"
#include "cad/drawing_render.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <fstream>
#include <random>
#include <string>

namespace {

using namespace keldarn;

// Placemarks scattered over 5 km × 5 km of a 3° zone: a point and its name (3 m high)
// at the same spot, and one polyline per hundred placemarks.
cad::DrawingModel SurveyDrawing(int placemarks)
{
    cad::DrawingModel model;
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> offset(0.0, 5000.0);
    for (int i = 0; i < placemarks; ++i) {
        const double x = 455000.0 + offset(random);
        const double y = 3680000.0 + offset(random);
        model.AddPoint(x, y, 0.0);
        model.AddText(std::to_string(i + 1), x, y, 0.0, 3.0);
        if (i % 100 == 0) {
            const double line[] = {x, y, x + 40.0, y + 15.0, x + 80.0, y - 5.0, x + 120.0, y + 20.0};
            model.AddPolyline(line, false);
        }
    }
    return model;
}

const cad::DrawingModel& QuarterMillion()
{
    static const cad::DrawingModel model = SurveyDrawing(125'000);
    return model;
}

// One frame at 1280 × 800 px; range(0) is the width shown in metres.
void BM_RenderFrame(benchmark::State& state)
{
    const cad::DrawingModel& model = QuarterMillion();
    cad::DrawingView view;
    view.SetCanvasSize(1280, 800);
    view.SetCenter(457500.0, 3682500.0);
    view.SetPixelsPerMetre(1280.0 / static_cast<double>(state.range(0)));
    QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
    cad::DrawingRenderer renderer;
    for (auto _ : state) {
        QPainter painter(&image);
        renderer.Paint(painter, model, view, {});
    }
    const auto& frame = renderer.LastFrame();
    state.counters["points"] = frame.points;
    state.counters["glyph_texts"] = frame.glyphTexts;
    state.counters["stroke_texts"] = frame.strokeTexts;
    state.counters["text_px"] = 3.0 * view.PixelsPerMetre();
}
// Whole drawing (texts below a pixel); texts of about 2 px (strokes); of about 4 px, the
// most glyph texts one view holds; of about 13 px.
BENCHMARK(BM_RenderFrame)
    ->Arg(5500)
    ->Arg(2000)
    ->Arg(900)
    ->Arg(300)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// 120,000 placemarks through IAcadModelSpace: AddPoint and AddText each.
void BM_AddEntities240k(benchmark::State& state)
{
    for (auto _ : state) {
        cad::DrawingDocument document;
        int changes = 0;
        document.SetChangedHook([&] { ++changes; });
        cad::IAcadModelSpace& space = document.ModelSpace();
        for (int i = 0; i < 120'000; ++i) {
            const cad::Point3 at{455000.0 + i % 1000 * 5.0, 3680000.0 + i / 1000 * 5.0, 0.0};
            space.AddPoint(at);
            space.AddText("P" + std::to_string(i), at, 3.0);
        }
        benchmark::DoNotOptimize(changes);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 240'000);
}
BENCHMARK(BM_AddEntities240k)->Unit(benchmark::kMillisecond);

void BM_DxfBytes250k(benchmark::State& state)
{
    const cad::DrawingModel& model = QuarterMillion();
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = cad::DxfBytes(model).size();
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_DxfBytes250k)->Unit(benchmark::kMillisecond);

// A DXF file of 500,000 points and 500,000 texts, read into a drawing. The peak counter
// is the resident memory the read added at its highest, the drawing counter what the
// finished drawing keeps.
void BM_LoadMillionEntities(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("million.dxf");
    double fileMB = 0;
    {
        const std::string bytes = cad::DxfBytes(SurveyDrawing(500'000));
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        fileMB = static_cast<double>(bytes.size()) / 1e6;
    }
    double peakMB = 0;
    double drawingMB = 0;
    std::size_t entities = 0;
    for (auto _ : state) {
        const double before = bench::TrimmedRssMB();
        bench::ResetPeakMemory();
        {
            const cad::DrawingModel model = cad::ReadDxfFile(path);
            entities = model.EntityCount();
            peakMB = bench::StatusMB("VmHWM") - before;
            drawingMB = bench::TrimmedRssMB() - before;
        }
    }
    state.counters["entities"] = static_cast<double>(entities);
    state.counters["file_MB"] = fileMB;
    state.counters["peak_MB"] = peakMB;
    state.counters["drawing_MB"] = drawingMB;
}
BENCHMARK(BM_LoadMillionEntities)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
