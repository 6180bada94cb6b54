#include "app/map_points.h"

#include "earth/parallel.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/number_text.h"
#include "points/point_table_model.h"

#include <QCoreApplication>

#include <cmath>
#include <cstring>

namespace keldarn::app {

namespace {

const QColor kPointColour(230, 40, 40);

bool SameFrame(const std::optional<MapPoints::Frame>& a, const std::optional<MapPoints::Frame>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->CentralMeridianDeg() == b->CentralMeridianDeg() && a->Choice() == b->Choice() &&
           std::memcmp(&a->Transform(), &b->Transform(), sizeof a->Transform()) == 0;
}

}  // namespace

namespace {

// The markers of data rows [first, end) (0-based), with the point table's colour.
std::shared_ptr<const earth::MapLayer> ChunkMarkers(const points::PointTableModel& table, int first, int end,
                                                    const std::optional<MapPoints::Frame>& frame,
                                                    bool labelled)
{
    auto layer = std::make_shared<earth::MapLayer>();
    layer->name = QCoreApplication::translate("MapPoints", "点表");
    layer->colour = kPointColour;
    layer->labelled = labelled;
    if (!frame)
        return layer;
    layer->markers.reserve(end - first);
    for (int gridRow = first + 1; gridRow <= end; ++gridRow) {
        const auto cells = table.CellViews(gridRow);
        const auto place =
            GridToLatLon(cells[points::kXColumn], cells[points::kYColumn], cells[points::kHColumn], *frame);
        if (!place)
            continue;
        earth::MapMarker marker;
        marker.latDeg = place->latDeg;
        marker.lonDeg = place->lonDeg;
        const std::string_view name = cells[points::kNameColumn];
        marker.name = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        layer->markers.push_back(std::move(marker));
    }
    return layer;
}

}  // namespace

std::optional<geodesy::GeoPoint> GridToLatLon(std::string_view x, std::string_view y, std::string_view h,
                                              const survey::SurveyFrame& frame)
{
    const geodesy::FourParamCoefficients& transform = frame.Transform();
    double northing = 0.0, easting = 0.0;
    try {
        northing = geodesy::ParseNumber(x);
        easting = geodesy::ParseNumber(y);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    double height = transform.dHM;  // H′ = dH: height 0 before the correction
    try {
        height = geodesy::ParseNumber(h);
        if (!std::isfinite(height))
            height = transform.dHM;
    } catch (const std::exception&) {
    }
    const geodesy::GridPoint plane = frame.ToPlane({.x = northing, .y = easting, .h = height});
    // The series hold within a zone's few degrees; beyond some thousand kilometres from the
    // meridian a row cannot be a point of this zone.
    const int zone = frame.Projection().ZoneNumberOfY();
    const double eastingInZone = zone != 0 ? geodesy::WithoutZoneNumber(plane.y, zone) : plane.y;
    if (!std::isfinite(plane.x) || !std::isfinite(plane.y) ||
        std::abs(eastingInZone - geodesy::kFalseEastingM) > 1.0e6 || std::abs(plane.x) > 1.0e7)
        return std::nullopt;
    const geodesy::GeoPoint geo = frame.PlaneToGeographic(plane);
    if (!std::isfinite(geo.latDeg) || !std::isfinite(geo.lonDeg) || std::abs(geo.latDeg) > 90.0)
        return std::nullopt;
    return geo;
}

std::optional<geodesy::GeoPoint> MapPoints::RowPlace(const points::PointTableModel& table, int gridRow,
                                                     const std::optional<Frame>& frame)
{
    if (!frame || gridRow < 1 || gridRow >= table.RowCount())
        return std::nullopt;
    const auto cells = table.CellViews(gridRow);
    return GridToLatLon(cells[points::kXColumn], cells[points::kYColumn], cells[points::kHColumn], *frame);
}

bool MapPoints::Update(const points::PointTableModel& table, const std::optional<Frame>& frame, bool labelled)
{
    bool relabelled = false;
    if (labelled != labelled_) {
        // Drawn layers do not change: the chunks are copied with the other choice.
        labelled_ = labelled;
        for (auto& chunk : chunks_) {
            auto copy = std::make_shared<earth::MapLayer>(*chunk);
            copy->labelled = labelled;
            chunk = std::move(copy);
        }
        relabelled = !chunks_.empty();
    }
    const int rows = table.DataRowCount();
    if (convertedRows_ < 0 || rows < convertedRows_ || !SameFrame(frame, frame_)) {
        chunks_.clear();
        convertedRows_ = 0;
        frame_ = frame;
    } else if (rows == convertedRows_) {
        return relabelled;
    }
    // The last chunk, if partial, is made again with the new rows.
    int first = static_cast<int>(chunks_.size()) * kChunkRows;
    if (first > convertedRows_) {
        chunks_.pop_back();
        first -= kChunkRows;
    }
    // Chunks are converted on all cores: a full table of a million rows takes a moment.
    const int firstChunk = first / kChunkRows;
    const int chunkCount = (rows - first + kChunkRows - 1) / kChunkRows;
    std::vector<std::shared_ptr<const earth::MapLayer>> made(static_cast<std::size_t>(chunkCount));
    earth::ParallelFor(chunkCount, [&](int begin, int end) {
        for (int chunk = begin; chunk < end; ++chunk)
            made[static_cast<std::size_t>(chunk)] =
                ChunkMarkers(table, (firstChunk + chunk) * kChunkRows,
                             std::min((firstChunk + chunk + 1) * kChunkRows, rows), frame, labelled);
    });
    chunks_.insert(chunks_.end(), made.begin(), made.end());
    convertedRows_ = rows;
    return true;
}

}  // namespace keldarn::app
