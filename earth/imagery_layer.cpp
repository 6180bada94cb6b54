#include "earth/imagery_layer.h"

#include "earth/parallel.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace keldarn::earth {

namespace {

// Long side of the image of the whole ground (pixels).
constexpr int kCoarseSidePx = 2048;
// The view image covers the frame's ground and this share of its span on every side, at
// about the screen's resolution.
constexpr double kViewMargin = 0.25;
constexpr int kMaxViewSidePx = 4096;
// A held image is fine enough for a view when its pixels are at most this much larger.
constexpr double kFineEnough = 1.3;

// How long a closing layer waits for a read still running (milliseconds).
constexpr int kThreadEndWaitMs = 2000;

// One thread: reads follow each other, and a service is not asked twice at once.
QThreadPool& ImageryPool()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    return pool;
}

double WidthM(const geodesy::GeoBox& r)
{
    return (r.eastDeg - r.westDeg) * MetresPerDegreeLon(0.5 * (r.southDeg + r.northDeg));
}

double HeightM(const geodesy::GeoBox& r)
{
    return (r.northDeg - r.southDeg) * MetresPerDegreeLat(0.5 * (r.southDeg + r.northDeg));
}

// Pixels across and down for a window at about `sidePx` along its longer side.
QSize PixelsFor(const geodesy::GeoBox& window, int sidePx)
{
    const double w = std::max(WidthM(window), 1e-6), h = std::max(HeightM(window), 1e-6);
    const double scale = sidePx / std::max(w, h);
    return QSize(std::clamp(static_cast<int>(std::lround(w * scale)), 1, sidePx),
                 std::clamp(static_cast<int>(std::lround(h * scale)), 1, sidePx));
}

std::optional<geodesy::GeoBox> Intersection(const geodesy::GeoBox& a, const geodesy::GeoBox& b)
{
    const geodesy::GeoBox r{.southDeg = std::max(a.southDeg, b.southDeg),
                            .westDeg = std::max(a.westDeg, b.westDeg),
                            .northDeg = std::min(a.northDeg, b.northDeg),
                            .eastDeg = std::min(a.eastDeg, b.eastDeg)};
    if (r.westDeg >= r.eastDeg || r.southDeg >= r.northDeg)
        return std::nullopt;
    return r;
}

bool Contains(const geodesy::GeoBox& outer, const geodesy::GeoBox& inner)
{
    return inner.westDeg >= outer.westDeg && inner.eastDeg <= outer.eastDeg &&
           inner.southDeg >= outer.southDeg && inner.northDeg <= outer.northDeg;
}

}  // namespace

struct ImageryLayer::ReadResult {
    std::shared_ptr<raster::ImagerySource> source;  // when it was opened by this read
    std::shared_ptr<const raster::GeoImage> image;
    std::string notice;
    std::string error;
};

namespace {

using ReadResult = ImageryLayer::ReadResult;

ReadResult ReadImage(const std::shared_ptr<raster::ImagerySource>& source, const geodesy::GeoBox& window,
                     QSize px)
{
    ReadResult result;
    try {
        raster::ImageryRead read = source->Read(window, px.width(), px.height());
        result.notice = std::move(read.notice);
        result.image = std::make_shared<const raster::GeoImage>(std::move(read.image));
    } catch (const std::exception& failure) {
        result.error = failure.what();
    }
    return result;
}

}  // namespace

double DegreesPerPixel(const raster::GeoImage& image)
{
    return (image.bounds.northDeg - image.bounds.southDeg) / std::max(image.heightPx, 1);
}

ImageryLayer::ImageryLayer(Callbacks callbacks)
    : callbacks_(std::move(callbacks)), watchers_(std::make_unique<QObject>())
{
}

ImageryLayer::~ImageryLayer()
{
    watchers_.reset();  // a read still running finishes unheard
    // The imagery thread ends with the layer, within a moment: one left to the end of the
    // process would exit after the network library has shut down and leak its state.
    ImageryPool().waitForDone(kThreadEndWaitMs);
}

void ImageryLayer::Apply(const ImageryLayerSettings& settings, const geodesy::GeoBox& ground)
{
    const bool newSource = settings.source != settings_.source || !source_;
    settings_ = settings;
    if (newSource) {
        ++generation_;
        source_.reset();
        held_.clear();
        reading_ = false;
        Tell({});
        if (!settings_.source.empty())
            StartOpen(ground);
    }
    Rebuild();
}

void ImageryLayer::Run(std::function<ReadResult()> read, std::function<void(const ReadResult&)> done)
{
    const std::uint64_t generation = generation_;
    reading_ = true;
    auto* watcher = new QFutureWatcher<ReadResult>(watchers_.get());
    QObject::connect(watcher, &QFutureWatcherBase::finished, watchers_.get(), [=, this]() {
        const ReadResult result = watcher->result();
        watcher->deleteLater();
        if (generation != generation_)
            return;  // read for a source no longer shown
        reading_ = false;
        done(result);
    });
    watcher->setFuture(QtConcurrent::run(&ImageryPool(), [read = std::move(read)] {
        LowerCurrentThreadPriority();
        return read();
    }));
}

void ImageryLayer::Tell(const QString& notice)
{
    if (notice == lastNotice_)
        return;
    lastNotice_ = notice;
    if (callbacks_.notice)
        callbacks_.notice(notice);
}

void ImageryLayer::StartOpen(const geodesy::GeoBox& ground)
{
    // The whole ground's image takes at most half the memory bound.
    const int coarseSidePx = std::clamp(
        static_cast<int>(std::sqrt(settings_.memoryBoundBytes / 2.0 / sizeof(std::uint32_t))), 16, kCoarseSidePx);
    Run(
        [settings = settings_, ground, coarseSidePx] {
            ReadResult result;
            try {
                auto source = std::make_shared<raster::ImagerySource>(settings.source, settings.service);
                const auto coverage = source->Coverage();
                const auto window = coverage ? Intersection(*coverage, ground).value_or(*coverage) : ground;
                result = ReadImage(source, window, PixelsFor(window, coarseSidePx));
                if (result.error.empty())
                    result.source = std::move(source);
            } catch (const std::exception& failure) {
                result.error = failure.what();
            }
            return result;
        },
        [this](const ReadResult& result) {
            if (!result.error.empty()) {
                if (callbacks_.failed)
                    callbacks_.failed(QString::fromStdString(result.error));
                return;
            }
            source_ = result.source;
            Keep(result.image);
            Tell(QString::fromStdString(result.notice));
            StartView();
        });
}

void ImageryLayer::ViewChanged(const std::optional<geodesy::GeoBox>& footprint, QSize viewPx)
{
    if (!footprint) {
        wantedView_.reset();
        return;
    }
    const double marginLon = kViewMargin * (footprint->eastDeg - footprint->westDeg);
    const double marginLat = kViewMargin * (footprint->northDeg - footprint->southDeg);
    wantedView_ = geodesy::GeoBox{.southDeg = footprint->southDeg - marginLat,
                                  .westDeg = footprint->westDeg - marginLon,
                                  .northDeg = footprint->northDeg + marginLat,
                                  .eastDeg = footprint->eastDeg + marginLon};
    wantedViewPx_ = viewPx;
    if (!reading_)
        StartView();
}

void ImageryLayer::StartView()
{
    if (!source_ || !wantedView_ || !settings_.visible)
        return;
    geodesy::GeoBox window = *wantedView_;
    if (const auto coverage = source_->Coverage()) {
        const auto inside = Intersection(window, *coverage);
        if (!inside)
            return;
        window = *inside;
    }
    const double share =
        (window.northDeg - window.southDeg) / (wantedView_->northDeg - wantedView_->southDeg);
    const int viewSidePx = static_cast<int>(
        (1.0 + 2.0 * kViewMargin) * std::max(wantedViewPx_.width(), wantedViewPx_.height()) * std::min(share, 1.0));
    // Within the memory bound: the view image takes at most a quarter of it.
    const double boundSide = std::sqrt(settings_.memoryBoundBytes / 4.0 / sizeof(std::uint32_t));
    const int sidePx = std::clamp(std::min(viewSidePx, static_cast<int>(boundSide)), 16, kMaxViewSidePx);
    const QSize px = PixelsFor(window, sidePx);
    const double wantedDegPerPx = (window.northDeg - window.southDeg) / px.height();
    for (const Held& held : held_)
        if (Contains(held.image->bounds, window) && DegreesPerPixel(*held.image) <= kFineEnough * wantedDegPerPx)
            return;
    Run([source = source_, window, px] { return ReadImage(source, window, px); },
        [this](const ReadResult& result) {
            Keep(result.image);
            // A source that stopped answering keeps what it showed; its message is the notice.
            Tell(QString::fromStdString(result.error.empty() ? result.notice : result.error));
            if (result.image)
                StartView();  // the camera may have moved on meanwhile
        });
}

void ImageryLayer::Keep(std::shared_ptr<const raster::GeoImage> image)
{
    if (!image || image->argb.empty())
        return;
    held_.push_back({std::move(image), serial_++});
    // Past the bound the oldest view images go; the first image of the source stays.
    const auto bytes = [this] {
        std::size_t total = 0;
        for (const Held& held : held_)
            total += held.image->argb.size() * sizeof(std::uint32_t);
        return total;
    };
    while (held_.size() > 1 && bytes() > settings_.memoryBoundBytes) {
        auto oldest = std::min_element(held_.begin() + 1, held_.end(),
                                       [](const Held& a, const Held& b) { return a.serial < b.serial; });
        held_.erase(oldest);
    }
    // Coarse to fine, so that finer pixels are drawn over coarser ones; the whole ground's
    // image first whatever its resolution.
    std::stable_sort(held_.begin() + 1, held_.end(), [](const Held& a, const Held& b) {
        return DegreesPerPixel(*a.image) > DegreesPerPixel(*b.image);
    });
    Rebuild();
}

void ImageryLayer::Rebuild()
{
    std::shared_ptr<const ImageryDrape> drape;
    if (settings_.visible && !held_.empty()) {
        std::vector<std::shared_ptr<const raster::GeoImage>> images;
        for (const Held& held : held_)
            images.push_back(held.image);
        drape = std::make_shared<const ImageryDrape>(std::move(images), settings_.opacity);
    }
    drape_ = std::move(drape);
    if (callbacks_.changed)
        callbacks_.changed();
}

std::shared_ptr<const ImageryDrape> ImageryLayer::Drape() const
{
    return drape_;
}

}  // namespace keldarn::earth
