#pragma once

// The point table on the map: each row carried back from the surveyor's grid to latitude
// and longitude through the survey frame and drawn as a marker with its name. The markers are kept in chunks
// of rows, so that a sampling run that appends rows converts only the new ones.

#include "earth/map_layers.h"
#include "geodesy/coordinates.h"
#include "survey/survey_frame.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace keldarn::points {
class PointTableModel;
}

namespace keldarn::app {

// The WGS84 point of a row's X (northing) and Y (easting with the false easting) texts, or
// nothing when either is not a number or the point lies off the zone.
// The H text (metres, with the height correction) is the height the datum shift takes; a
// row without a readable H is taken at height 0, centimetres off at most.
std::optional<geodesy::GeoPoint> GridToLatLon(std::string_view x, std::string_view y, std::string_view h,
                                              const survey::SurveyFrame& frame);

class MapPoints {
public:
    // The frame the rows are carried back with; nothing when the central meridian or the
    // parameters do not read (then no row has a place).
    using Frame = survey::SurveyFrame;

    // Brings the markers up to the table: with the same frame and a table that only grew,
    // only rows from the last partial chunk on are converted; otherwise all of them.
    // `labelled`: the markers are drawn with the points' names; a change of it alone
    // converts nothing. Returns whether anything changed.
    bool Update(const points::PointTableModel& table, const std::optional<Frame>& frame,
                bool labelled = true);
    // Rows were edited or removed: the next Update converts them all again.
    void Invalidate() { convertedRows_ = -1; }

    // The layers to draw, one per chunk of rows.
    const std::vector<std::shared_ptr<const earth::MapLayer>>& Layers() const { return chunks_; }

    // The place of one row (grid row 1..n), or nothing.
    static std::optional<geodesy::GeoPoint> RowPlace(const points::PointTableModel& table, int gridRow,
                                                     const std::optional<Frame>& frame);

    static constexpr int kChunkRows = 4096;

private:
    std::vector<std::shared_ptr<const earth::MapLayer>> chunks_;
    std::optional<Frame> frame_;
    bool labelled_ = true;
    int convertedRows_ = -1;  // data rows the chunks hold; -1: none valid
};

}  // namespace keldarn::app
