#include "earth/kml_overlay.h"

#include "kml/kml_input.h"
#include "kml/kml_parser.h"

#include <deque>
#include <set>
#include <string>

namespace keldarn::earth {
namespace {

// Amber, which stands out on the green and brown relief tints and on imagery.
const QColor kKmlLayerColour(255, 176, 0);

struct Cancelled {};

// Passes the bytes on, asking `cancelled` before each read and reporting the share read.
class WatchedSource : public cad::KmlByteSource {
public:
    WatchedSource(cad::KmlByteSource& inner, const std::function<bool()>& cancelled,
                  const std::function<void(double)>& progress, double totalBytes)
        : inner_(inner), cancelled_(cancelled), progress_(progress), totalBytes_(totalBytes)
    {
    }

    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        if (cancelled_ && cancelled_())
            throw Cancelled{};
        const std::size_t count = inner_.Read(buffer, capacity);
        readBytes_ += static_cast<double>(count);
        if (progress_ && totalBytes_ > 0.0 && readBytes_ >= reportedBytes_ + 0.01 * totalBytes_) {
            reportedBytes_ = readBytes_;
            progress_(std::min(readBytes_ / totalBytes_, 1.0));
        }
        return count;
    }

private:
    cad::KmlByteSource& inner_;
    const std::function<bool()>& cancelled_;
    const std::function<void(double)>& progress_;
    double totalBytes_;
    double readBytes_ = 0.0;
    double reportedBytes_ = 0.0;
};

class LayerSink : public cad::KmlGeometrySink {
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
        line.latLonDeg.reserve(kept);
        for (std::size_t i = 0; i < kept; ++i)
            line.latLonDeg.emplace_back(lonLatDeg[2 * i + 1], lonLatDeg[2 * i]);
        layer_.lines.push_back(std::move(line));
    }

    void OnNetworkLink(const std::string& href) override
    {
        const std::string entry = cad::LinkedEntry(*document, href);
        if (!entry.empty() && entriesSeen.insert(entry).second)
            entriesToRead.push_back(entry);
    }

    const cad::KmlInput* document = nullptr;  // the one being read
    // Archive entries read or waiting to be: each is read once, so links in a circle end.
    std::set<std::string> entriesSeen;
    std::deque<std::string> entriesToRead;

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
                                         const std::function<void(double)>& progress)
{
    auto layer = std::make_shared<MapLayer>();
    layer->name = QString::fromStdString(path.filename().string());
    layer->colour = kKmlLayerColour;
    cad::KmlInput input = cad::OpenKmlInput(path);
    std::error_code sizeError;
    const double totalBytes =
        input.archive ? 0.0 : static_cast<double>(std::filesystem::file_size(path, sizeError));
    LayerSink sink(*layer);
    sink.entriesSeen.insert(input.entryName);
    try {
        for (;;) {
            sink.document = &input;
            WatchedSource source(*input.source, cancelled, progress, sizeError ? 0.0 : totalBytes);
            cad::ScanKml(source, input.displayName, sink);
            if (sink.entriesToRead.empty())
                break;
            input = cad::OpenLinkedEntry(input, sink.entriesToRead.front());
            sink.entriesToRead.pop_front();
        }
    } catch (const Cancelled&) {
        return nullptr;
    }
    if (progress)
        progress(1.0);
    return layer;
}

}  // namespace keldarn::earth
