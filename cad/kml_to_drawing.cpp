#include "cad/kml_to_drawing.h"

#include "kml/kml_input.h"
#include "kml/kml_parser.h"

#include <deque>
#include <set>

namespace keldarn::cad {
namespace {

class DrawingSink : public KmlGeometrySink {
public:
    DrawingSink(const geodesy::ZoneProjection& projection, const geodesy::FourParamCoefficients& transform,
                double textHeight, IAcadModelSpace& modelSpace)
        : projection_(projection), transform_(transform), textHeight_(textHeight), modelSpace_(modelSpace)
    {
    }

    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        ToDrawing(lonLatDeg);
        if (lonLatDeg.size() == 2) {
            const Point3 position{lonLatDeg[0], lonLatDeg[1], 0.0};
            modelSpace_.AddPoint(position);
            if (!placemarkName.empty())
                modelSpace_.AddText(placemarkName, position, textHeight_);
            ++summary.points;
        } else {
            modelSpace_.AddLightWeightPolyLine(lonLatDeg);
            ++summary.polylines;
        }
    }

    void OnTrack(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        OnCoordinates(lonLatDeg, placemarkName);
        ++summary.tracks;
    }

    void OnNetworkLink(const std::string& href) override
    {
        const std::string entry = LinkedEntry(*document, href);
        if (entry.empty()) {
            if (summary.outsideLinks++ == 0)
                summary.firstOutsideLink = Shortened(href);
        } else if (entriesSeen.insert(entry).second) {
            entriesToRead.push_back(entry);
        }
    }

    KmlDrawSummary summary;
    const KmlInput* document = nullptr;  // the one being read
    // Archive entries read or waiting to be: each is read once, so links in a circle end.
    std::set<std::string> entriesSeen;
    std::deque<std::string> entriesToRead;

private:
    static std::string Shortened(const std::string& text)
    {
        constexpr std::size_t kShownBytes = 200;
        if (text.size() <= kShownBytes)
            return text;
        std::size_t end = kShownBytes;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;  // never end inside a UTF-8 sequence
        return text.substr(0, end) + "…";
    }

    // In place: (lon, lat) pairs become (easting, northing) pairs in the user's grid. The
    // drawing is two-dimensional and the reader keeps no altitude (a KML's is mostly relative
    // to the ground anyway), so the datum shift takes each point at height 0.
    void ToDrawing(std::vector<double>& coordinates) const
    {
        for (std::size_t i = 0; i + 1 < coordinates.size(); i += 2) {
            const geodesy::PlanePoint plane = projection_.ToPlane(coordinates[i + 1], coordinates[i], 0.0);
            const geodesy::GridPoint grid = geodesy::FourParamForward(transform_, {plane.x, plane.y, 0.0});
            coordinates[i] = grid.y;
            coordinates[i + 1] = grid.x;
        }
    }

    geodesy::ZoneProjection projection_;
    geodesy::FourParamCoefficients transform_;
    double textHeight_;
    IAcadModelSpace& modelSpace_;
};

}  // namespace

KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, const geodesy::ZoneProjection& projection,
                           const geodesy::FourParamCoefficients& transform, double textHeight,
                           IAcadModelSpace& modelSpace)
{
    KmlInput input = OpenKmlInput(path);
    DrawingSink sink(projection, transform, textHeight, modelSpace);
    sink.entriesSeen.insert(input.entryName);
    for (;;) {
        sink.document = &input;
        const KmlFeatureCounts counts = ScanKml(*input.source, input.displayName, sink);
        sink.summary.placemarks += counts.placemarks;
        sink.summary.models += counts.models;
        sink.summary.overlays += counts.overlays;
        if (sink.entriesToRead.empty())
            return sink.summary;
        input = OpenLinkedEntry(input, sink.entriesToRead.front());
        sink.entriesToRead.pop_front();
    }
}

KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, double centralMeridianDeg,
                           const geodesy::FourParamCoefficients& transform, double textHeight,
                           IAcadModelSpace& modelSpace)
{
    return DrawKmlFile(path, geodesy::ZoneProjection(centralMeridianDeg), transform, textHeight, modelSpace);
}

}  // namespace keldarn::cad
