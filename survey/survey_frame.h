#pragma once

// The road between the survey grid and latitude/longitude: the Gauss–Krüger zone's central
// meridian and the four parameters with the height correction, as the transformation page
// (or the command line) sets them.

#include "geodesy/four_param.h"

namespace keldarn::survey {

struct SurveyFrame {
    double centralMeridianDeg = 0.0;
    geodesy::FourParamCoefficients transform;
};

}  // namespace keldarn::survey
