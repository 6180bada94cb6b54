#include "earth/application_ge.h"

namespace keldarn::earth {

std::unique_ptr<IApplicationGE> CoApplicationGE()
{
    // This build has no terrain viewer yet; the main window runs without a map.
    throw EarthError("terrain viewer is not available in this build");
}

}  // namespace keldarn::earth
