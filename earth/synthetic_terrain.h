#pragma once

// The demonstration terrain used when no elevation model has been chosen: generated in
// memory, the same on every run, around the default view.

#include "earth/terrain.h"

#include <memory>

namespace keldarn::earth {

inline constexpr double kSyntheticCentreLatDeg = 33.2677;
inline constexpr double kSyntheticCentreLonDeg = 113.5538;
inline constexpr double kSyntheticHalfExtentDeg = 0.25;    // samples cover centre ± this
inline constexpr double kSyntheticStepDeg = 1.0 / 3600.0;  // one arc-second
inline constexpr double kSyntheticLowM = 50.0;
inline constexpr double kSyntheticHighM = 400.0;

// Hills rising towards the south-west out of a plain in the north-east, cut by a winding
// river valley; elevations between kSyntheticLowM and kSyntheticHighM. IsSynthetic() is
// true, so the viewer labels it.
std::shared_ptr<const Terrain> MakeSyntheticTerrain();

}  // namespace keldarn::earth
