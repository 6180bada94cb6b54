// A KML file of 100 MB (240,000 placemarks) drawn into an in-memory model space: the
// time, and the memory the reading needs on top of the drawing's entities.

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "cad/kml_to_drawing.h"
#include "encoding/text_encoding.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using namespace keldarn;

constexpr int kPlacemarkCount = 240'000;
constexpr double kCentralMeridianDeg = 114.0;

// Keeps every entity, as the drawing window's model does.
class StoringModelSpace : public cad::IAcadModelSpace {
public:
    struct Text {
        std::string text;
        cad::Point3 at;
        double height;
    };
    void AddPoint(const cad::Point3& point) override { points.push_back(point); }
    void AddText(const std::string& text, const cad::Point3& at, double height) override
    {
        texts.push_back({text, at, height});
    }
    void AddLightWeightPolyLine(const std::vector<double>& vertices) override
    {
        polylines.push_back(vertices);
    }

    std::vector<cad::Point3> points;
    std::vector<Text> texts;
    std::vector<std::vector<double>> polylines;
};

std::string Degrees(double value)
{
    return geodesy::FormatFixed(value, 9);
}

// A placemark as Google Earth writes it: indented, with a view and a style; every
// second one a point, the others lines of 12 vertices.
std::string Placemark(int number, std::mt19937_64& random)
{
    std::uniform_real_distribution<double> offset(0.0, 0.5);
    const double lon = 113.5 + offset(random);
    const double lat = 33.0 + offset(random);
    std::string text = "\t\t<Placemark>\n\t\t\t<name>测点 " + std::to_string(number) +
                       "</name>\n\t\t\t<LookAt>"
                       "<longitude>" +
                       Degrees(lon) + "</longitude><latitude>" + Degrees(lat) +
                       "</latitude><range>1000</range></LookAt>\n\t\t\t<styleUrl>#m_ylw-pushpin</styleUrl>\n";
    if (number % 2 == 0) {
        text += "\t\t\t<Point>\n\t\t\t\t<coordinates>" + Degrees(lon) + "," + Degrees(lat) +
                ",0</coordinates>\n\t\t\t</Point>\n";
    } else {
        text += "\t\t\t<LineString>\n\t\t\t\t<tessellate>1</tessellate>\n\t\t\t\t<coordinates>\n\t\t\t\t\t";
        for (int i = 0; i < 12; ++i)
            text += Degrees(lon + 0.001 * i) + "," + Degrees(lat + 0.0007 * i) + ",0 ";
        text += "\n\t\t\t\t</coordinates>\n\t\t\t</LineString>\n";
    }
    return text + "\t\t</Placemark>\n";
}

// Written once into /tmp; gb18030: the same file without a declaration, in GB18030.
std::filesystem::path GeneratedFile(bool gb18030)
{
    const std::filesystem::path file =
        gb18030 ? "/tmp/keldarn-bench-100mb-gb18030.kml" : "/tmp/keldarn-bench-100mb.kml";
    if (std::filesystem::exists(file))
        return file;
    std::ofstream out(file, std::ios::binary);
    out << (gb18030 ? "" : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
        << "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n\t<name>bench</name>\n\t<Folder>\n";
    std::mt19937_64 random(20240611);
    for (int i = 0; i < kPlacemarkCount; ++i) {
        const std::string placemark = Placemark(i, random);
        out << (gb18030 ? encoding::Utf8ToGb18030(placemark) : placemark);
    }
    out << "\t</Folder>\n</Document>\n</kml>\n";
    return file;
}

void BM_DrawKml100MB(benchmark::State& state)
{
    const std::filesystem::path file = GeneratedFile(state.range(0) != 0);
    const geodesy::FourParamCoefficients transform =
        geodesy::MakeFourParamCoefficients({-12.5, 31.25, 2.5, 3e-6, 0.0});
    double seconds = 0;
    double entitiesMB = 0;
    double extraMB = 0;
    for (auto _ : state) {
        const double before = bench::TrimmedRssMB();
        bench::ResetPeakMemory();
        StoringModelSpace modelSpace;
        const auto start = std::chrono::steady_clock::now();
        const cad::KmlDrawSummary summary =
            cad::DrawKmlFile(file, kCentralMeridianDeg, transform, 3.0, modelSpace);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double peakMB = bench::StatusMB("VmHWM");
        entitiesMB = bench::TrimmedRssMB() - before;
        extraMB = std::max(extraMB, peakMB - before - entitiesMB);
        if (summary.points + summary.polylines != kPlacemarkCount)
            state.SkipWithError("not every placemark was drawn");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kPlacemarkCount);
    state.counters["s_per_file"] = seconds / static_cast<double>(state.iterations());
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
    state.counters["entities_MB"] = entitiesMB;
    state.counters["reading_extra_MB"] = extraMB;
}
BENCHMARK(BM_DrawKml100MB)->ArgName("gb18030")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
