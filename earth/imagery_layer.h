#pragma once

// The imagery layer of the viewer: opens the user's source and reads its images away from
// the GUI thread, a coarse one of the whole ground first and then one of the ground in view
// at screen resolution each time the camera rests. What has been read is kept up to a
// memory bound, finest on top, so that ground seen before shows at once.

#include "earth/imagery_drape.h"
#include "earth/terrain.h"
#include "raster/imagery_source.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::earth {

inline constexpr std::size_t kDefaultImageryMemoryBytes = std::size_t{256} << 20;

struct ImageryLayerSettings {
    std::string source;  // file, folder or service address, UTF-8; empty for none
    double opacity = 1.0;
    bool visible = true;
    raster::ImageryOptions service;                         // disk cache of service tiles
    std::size_t memoryBoundBytes = kDefaultImageryMemoryBytes;  // images held for drawing
};

class ImageryLayer {
public:
    struct Callbacks {
        std::function<void()> changed;                  // the drape changed: redraw
        std::function<void(const QString&)> notice;     // a quiet notice, empty to clear it
        std::function<void(const QString&)> failed;     // the source cannot be used at all
    };
    explicit ImageryLayer(Callbacks callbacks);
    ~ImageryLayer();
    ImageryLayer(const ImageryLayer&) = delete;
    ImageryLayer& operator=(const ImageryLayer&) = delete;

    // Takes new settings. Another source is opened in the background; the images of the
    // old one go at once. Opacity and visibility alone apply at once.
    // ground: where the coarse image is read when the source covers the whole world (the
    // terrain's extent).
    void Apply(const ImageryLayerSettings& settings, const geodesy::GeoBox& ground);
    const ImageryLayerSettings& Settings() const { return settings_; }

    // The ground in view changed (footprint: the frame's ground, nothing when it reaches
    // the sky); a view image is read when it rests and the held images are not fine enough.
    void ViewChanged(const std::optional<geodesy::GeoBox>& footprint, QSize viewPx);

    // What the renderer drapes; nullptr with no source, while hidden, or before an image.
    std::shared_ptr<const ImageryDrape> Drape() const;

    // Whether a read is running, for tests.
    bool IsReading() const { return reading_; }

    // What a read on the imagery thread brings back.
    struct ReadResult;

private:
    struct Held {
        std::shared_ptr<const raster::GeoImage> image;
        std::uint64_t serial;  // order of arrival, the oldest goes first past the bound
    };
    // Runs `read` on the imagery thread; `done` hears its result on this thread unless the
    // source changed meanwhile.
    void Run(std::function<ReadResult()> read, std::function<void(const ReadResult&)> done);
    // Passes a notice on when it differs from the last one.
    void Tell(const QString& notice);
    void StartOpen(const geodesy::GeoBox& ground);
    void StartView();
    void Keep(std::shared_ptr<const raster::GeoImage> image);
    void Rebuild();

    Callbacks callbacks_;
    ImageryLayerSettings settings_;
    std::shared_ptr<raster::ImagerySource> source_;
    std::uint64_t generation_ = 0;  // of the source; results of older ones are dropped
    bool reading_ = false;
    std::optional<geodesy::GeoBox> wantedView_;
    QSize wantedViewPx_;
    std::vector<Held> held_;  // coarse to fine; the first is the whole ground's
    std::uint64_t serial_ = 0;
    std::shared_ptr<const ImageryDrape> drape_;
    std::unique_ptr<QObject> watchers_;  // parent of the running reads' watchers
    QString lastNotice_;
};

// A window's ground resolution (degrees of latitude per pixel), for ordering images.
double DegreesPerPixel(const raster::GeoImage& image);

}  // namespace keldarn::earth
