#include "raster/gdal_support.h"

#include <cpl_error.h>
#include <gdal.h>

#include <mutex>

namespace keldarn::raster {

void EnsureGdalRegistered()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

QuietGdalErrors::QuietGdalErrors()
{
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

QuietGdalErrors::~QuietGdalErrors()
{
    CPLPopErrorHandler();
}

std::string GdalDetail()
{
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr && *message != '\0' ? std::string("（GDAL：") + message + "）" : std::string();
}

}  // namespace keldarn::raster
