#include "earth/application_ge.h"

#include "earth/terrain_application.h"

namespace keldarn::earth {

std::unique_ptr<IApplicationGE> CoApplicationGE()
{
    // The demonstration terrain; the main window opens the user's chosen source with
    // CreateTerrainApplication.
    return CreateTerrainApplication(TerrainSource{});
}

}  // namespace keldarn::earth
