#include "earth/kml_overlay.h"

#include "kml/kml_file.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace keldarn::earth {
namespace {

// Amber, which stands out on the green and brown relief tints and on imagery.
const QColor kKmlLayerColour(255, 176, 0);

struct Cancelled {};

class LayerSink : public kml::KmlGeometrySink {
public:
    explicit LayerSink(MapLayer& layer) : layer_(layer) {}

    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        const std::size_t n = lonLatDeg.size() / 2;
        if (n == 1) {
            layer_.markers.push_back({lonLatDeg[1], lonLatDeg[0], Name(placemarkName), false});
            return;
        }
        MapPolyline line;
        // Exact equality: a ring repeats its first tuple as written.
        line.closed = n >= 3 && lonLatDeg[0] == lonLatDeg[2 * n - 2] && lonLatDeg[1] == lonLatDeg[2 * n - 1];
        const std::size_t kept = line.closed ? n - 1 : n;
        line.vertices.reserve(kept);
        for (std::size_t i = 0; i < kept; ++i)
            line.vertices.push_back({.latDeg = lonLatDeg[2 * i + 1], .lonDeg = lonLatDeg[2 * i]});
        layer_.lines.push_back(std::move(line));
    }

private:
    // The geometries of one placemark come one after another: convert its name once.
    const QString& Name(const std::string& utf8)
    {
        if (utf8 != lastUtf8_) {
            lastUtf8_ = utf8;
            lastName_ = QString::fromStdString(utf8);
        }
        return lastName_;
    }

    MapLayer& layer_;
    std::string lastUtf8_;
    QString lastName_;
};

}  // namespace

std::shared_ptr<MapLayer> LoadKmlOverlay(const std::filesystem::path& path,
                                         const std::function<bool()>& cancelled,
                                         const std::function<void(double)>& progress,
                                         const kml::KmlReadLimits& limits)
{
    auto layer = std::make_shared<MapLayer>();
    layer->name = QString::fromStdString(path.filename().string());
    layer->colour = kKmlLayerColour;
    LayerSink sink(*layer);
    // Progress over a plain file's bytes, about a hundred reports at most.
    std::uint64_t reportedBytes = 0;
    const auto watch = [&](std::uint64_t bytesRead, std::uint64_t fileBytes) {
        if (cancelled && cancelled())
            throw Cancelled{};
        if (progress && fileBytes > 0 && bytesRead > reportedBytes &&
            bytesRead - reportedBytes >= fileBytes / 100) {
            reportedBytes = bytesRead;
            progress(std::min(static_cast<double>(bytesRead) / static_cast<double>(fileBytes), 1.0));
        }
    };
    try {
        kml::ScanKmlFile(path, sink, watch, limits);
    } catch (const Cancelled&) {
        return nullptr;
    }
    if (progress)
        progress(1.0);
    return layer;
}

}  // namespace keldarn::earth
