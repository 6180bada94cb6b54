#pragma once

// The road between the survey grid and latitude/longitude: the Gauss–Krüger zone's central
// meridian and the four parameters with the height correction, as the transformation page
// (or the command line) sets them.

#include "geodesy/four_param.h"
#include "geodesy/zone_projection.h"

namespace keldarn::survey {

struct SurveyFrame {
    double centralMeridianDeg = 0.0;
    geodesy::FourParamCoefficients transform;
    geodesy::ProjectionChoice projection;  // ellipsoid, zones, datum; the default is the program's own

    geodesy::ZoneProjection Projection() const { return geodesy::ZoneProjection(centralMeridianDeg, projection); }
};

}  // namespace keldarn::survey
