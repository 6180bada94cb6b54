#pragma once

// The road between the survey grid and latitude/longitude: the Gauss–Krüger zone (central
// meridian and the national system's projection choice) and the four parameters with the
// height correction dH, as the transformation page (or the command line) sets them. Every
// conversion between a WGS84 point and the survey grid takes it, and so does the drawing,
// whose axes are named here.
//
// Heights: the elevation (metres) is the terrain's height as the DEM gives it, which a datum
// shift takes as the height above the WGS84 ellipsoid; the survey grid's H is elevation + dH.

#include "geodesy/coordinates.h"
#include "geodesy/four_param.h"
#include "geodesy/survey_conversion.h"
#include "geodesy/zone_projection.h"

namespace keldarn::survey {

class SurveyFrame {
public:
    // The program's own projection on the meridian L0 = 0, no transformation.
    SurveyFrame() : SurveyFrame(0.0, {}) {}
    // Throws geodesy::ProjectionSetupError when the projection choice cannot be used on
    // the central meridian (degrees).
    SurveyFrame(double centralMeridianDeg, const geodesy::FourParamCoefficients& transform,
                const geodesy::ProjectionChoice& projection = {})
        : projection_(centralMeridianDeg, projection), transform_(transform)
    {
    }
    SurveyFrame(const geodesy::ZoneProjection& projection, const geodesy::FourParamCoefficients& transform)
        : projection_(projection), transform_(transform)
    {
    }

    double CentralMeridianDeg() const { return projection_.CentralMeridianDeg(); }
    const geodesy::ProjectionChoice& Choice() const { return projection_.Choice(); }
    const geodesy::ZoneProjection& Projection() const { return projection_; }
    const geodesy::FourParamCoefficients& Transform() const { return transform_; }

    // The survey grid's H of an elevation (metres): H = elevation + dH, the H that ToGrid gives.
    double GridHeightM(double elevationM) const { return transform_.dHM + elevationM; }
    // The elevation of a survey grid height (metres): H − dH.
    double ElevationM(double gridHeightM) const { return gridHeightM - transform_.dHM; }

    // A WGS84 point at an elevation (metres) on the survey grid: the zone's projection (the
    // datum shift takes the point at that elevation), the four parameters, H = elevation + dH.
    geodesy::GridPoint ToGrid(const geodesy::GeoPoint& point, double elevationM) const
    {
        return geodesy::GeographicToGrid(point.latDeg, point.lonDeg, elevationM, projection_, transform_);
    }

    // The WGS84 point of a survey grid point: the four parameters reversed, then the zone's
    // inverse projection, which a datum shift takes at the point's elevation H − dH.
    geodesy::GeoPoint ToGeographic(const geodesy::GridPoint& grid) const
    {
        return PlaneToGeographic(ToPlane(grid));
    }
    // The same for a survey grid point without its height, taken at elevationM (metres).
    geodesy::GeoPoint ToGeographic(const geodesy::PlanePoint& grid, double elevationM = 0.0) const
    {
        const geodesy::GridPoint plane = geodesy::FourParamReverse(transform_, {grid.x, grid.y, 0.0});
        return projection_.ToGeographic(plane.x, plane.y, elevationM);
    }

    // The two halves of ToGeographic, for callers that look at the plane point between them:
    // the zone's plane point (X, Y with the false easting) under a survey grid point, with its
    // elevation H − dH; and the WGS84 point of such a plane point at its elevation.
    geodesy::GridPoint ToPlane(const geodesy::GridPoint& grid) const
    {
        return geodesy::FourParamReverse(transform_, grid);
    }
    geodesy::GeoPoint PlaneToGeographic(const geodesy::GridPoint& plane) const
    {
        return projection_.ToGeographic(plane.x, plane.y, plane.h);
    }

private:
    geodesy::ZoneProjection projection_;
    geodesy::FourParamCoefficients transform_;
};

// The drawing's axes (the drawing window, DXF files, contours and elevation points drawn
// into it): drawing x is the survey grid's easting Y, drawing y its northing X, metres.
inline double DrawingX(const geodesy::PlanePoint& grid)
{
    return grid.y;
}
inline double DrawingY(const geodesy::PlanePoint& grid)
{
    return grid.x;
}
inline double DrawingX(const geodesy::GridPoint& grid)
{
    return grid.y;
}
inline double DrawingY(const geodesy::GridPoint& grid)
{
    return grid.x;
}
inline geodesy::PlanePoint GridOfDrawing(double drawingX, double drawingY)
{
    return {.x = drawingY, .y = drawingX};
}

}  // namespace keldarn::survey
