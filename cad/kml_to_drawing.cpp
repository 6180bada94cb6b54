#include "cad/kml_to_drawing.h"

#include "cad/kml_input.h"
#include "cad/kml_parser.h"
#include "geodesy/gauss_kruger.h"

namespace keldarn::cad {
namespace {

class DrawingSink : public KmlGeometrySink {
public:
    DrawingSink(double centralMeridianDeg, const geodesy::FourParamCoefficients& transform, double textHeight,
                IAcadModelSpace& modelSpace)
        : centralMeridianDeg_(centralMeridianDeg), transform_(transform), textHeight_(textHeight),
          modelSpace_(modelSpace)
    {
    }

    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        ToDrawing(lonLatDeg);
        if (lonLatDeg.size() == 2) {
            const Point3 position{lonLatDeg[0], lonLatDeg[1], 0.0};
            modelSpace_.AddPoint(position);
            modelSpace_.AddText(placemarkName, position, textHeight_);
            ++summary.points;
        } else {
            modelSpace_.AddLightWeightPolyLine(lonLatDeg);
            ++summary.polylines;
        }
    }

    KmlDrawSummary summary;

private:
    // In place: (lon, lat) pairs become (easting, northing) pairs in the user's grid.
    void ToDrawing(std::vector<double>& coordinates) const
    {
        for (std::size_t i = 0; i + 1 < coordinates.size(); i += 2) {
            const geodesy::PlanePoint plane =
                geodesy::GeographicToPlane(coordinates[i + 1], coordinates[i], centralMeridianDeg_);
            const geodesy::GridPoint grid = geodesy::FourParamForward(transform_, {plane.x, plane.y, 0.0});
            coordinates[i] = grid.y;
            coordinates[i + 1] = grid.x;
        }
    }

    double centralMeridianDeg_;
    geodesy::FourParamCoefficients transform_;
    double textHeight_;
    IAcadModelSpace& modelSpace_;
};

}  // namespace

KmlDrawSummary DrawKmlFile(const std::filesystem::path& path, double centralMeridianDeg,
                           const geodesy::FourParamCoefficients& transform, double textHeight,
                           IAcadModelSpace& modelSpace)
{
    KmlInput input = OpenKmlInput(path);
    DrawingSink sink(centralMeridianDeg, transform, textHeight, modelSpace);
    ScanKml(*input.source, input.displayName, sink);
    return sink.summary;
}

}  // namespace keldarn::cad
