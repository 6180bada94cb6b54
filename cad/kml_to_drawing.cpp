#include "cad/kml_to_drawing.h"

#include "kml/kml_file.h"

namespace keldarn::cad {
namespace {

class DrawingSink : public kml::KmlGeometrySink {
public:
    DrawingSink(const survey::SurveyFrame& frame, double textHeight, IAcadModelSpace& modelSpace)
        : frame_(frame), textHeight_(textHeight), modelSpace_(modelSpace)
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

    KmlDrawSummary summary;

private:
    // In place: (lon, lat) pairs become (easting, northing) pairs in the user's grid. The
    // drawing is two-dimensional and the reader keeps no altitude (a KML's is mostly relative
    // to the ground anyway), so the datum shift takes each point at height 0.
    void ToDrawing(std::vector<double>& coordinates) const
    {
        for (std::size_t i = 0; i + 1 < coordinates.size(); i += 2) {
            const geodesy::GridPoint grid =
                frame_.ToGrid({.latDeg = coordinates[i + 1], .lonDeg = coordinates[i]}, 0.0);
            coordinates[i] = survey::DrawingX(grid);
            coordinates[i + 1] = survey::DrawingY(grid);
        }
    }

    survey::SurveyFrame frame_;
    double textHeight_;
    IAcadModelSpace& modelSpace_;
};

}  // namespace

KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, const survey::SurveyFrame& frame,
                           double textHeight, IAcadModelSpace& modelSpace, const kml::KmlReadLimits& limits)
{
    DrawingSink sink(frame, textHeight, modelSpace);
    const kml::KmlFileSummary read = kml::ScanKmlFile(path, sink, {}, limits);
    sink.summary.outsideLinks = read.outsideLinks;
    sink.summary.firstOutsideLink = read.firstOutsideLink;
    sink.summary.placemarks = read.counts.placemarks;
    sink.summary.models = read.counts.models;
    sink.summary.overlays = read.counts.overlays;
    return sink.summary;
}

KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, double centralMeridianDeg,
                           const geodesy::FourParamCoefficients& transform, double textHeight,
                           IAcadModelSpace& modelSpace, const kml::KmlReadLimits& limits)
{
    return DrawKmlFile(path, survey::SurveyFrame(centralMeridianDeg, transform), textHeight, modelSpace,
                       limits);
}

}  // namespace keldarn::cad
