#include "raster/gdal_support.h"

#include "i18n/interface_text.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <mutex>
#include <string_view>

namespace keldarn::raster {

namespace {

// GDAL's file systems that read over the network. Each is matched with what follows its
// name ('/', '?' or "_streaming/") so that a folder merely called "vsis3" does not count.
constexpr std::array<std::string_view, 16> kNetworkPrefixes{
    "/vsicurl/",
    "/vsicurl?",
    "/vsicurl_streaming/",
    "/vsis3/",
    "/vsis3_streaming/",
    "/vsigs/",
    "/vsigs_streaming/",
    "/vsiaz/",
    "/vsiaz_streaming/",
    "/vsiadls/",
    "/vsioss/",
    "/vsioss_streaming/",
    "/vsiswift/",
    "/vsiswift_streaming/",
    "/vsiwebhdfs/",
    "/vsihdfs/",
};

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix)
{
    return text.size() >= lowerPrefix.size() &&
           std::equal(lowerPrefix.begin(), lowerPrefix.end(), text.begin(),
                      [](char p, char t) { return p == std::tolower(static_cast<unsigned char>(t)); });
}

// Length of the "http://" or "https://" the source starts with, in any case; 0 for none.
std::size_t WebSchemeLength(std::string_view source)
{
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
        if (StartsWithIgnoringCase(source, scheme))
            return scheme.size();
    return 0;
}

// A network file system at the start of a GDAL path or nested in one: "/vsizip//vsicurl/...",
// "/vsizip/{/vsicurl/...}/dem.tif".
bool HasNetworkPrefix(std::string_view path)
{
    if (!path.starts_with("/vsi"))
        return false;
    for (const std::string_view prefix : kNetworkPrefixes)
        for (std::size_t at = path.find(prefix); at != std::string_view::npos; at = path.find(prefix, at + 1))
            if (at == 0 || path[at - 1] == '/' || path[at - 1] == '{')
                return true;
    return false;
}

void SetUnlessUserSet(const char* key, const char* value)
{
    if (CPLGetConfigOption(key, nullptr) == nullptr)
        CPLSetConfigOption(key, value);
}

// libcurl on its own waits 300 s for a host that does not answer the connection and forever
// for a server that accepted it but sends nothing; with these a dead server fails a read
// within about 15 s. A slow link that keeps moving is not cut off: GDAL_HTTP_TIMEOUT would
// cap every transfer as a whole, so it stays the user's to set.
//
// Opening a file on a server would first list the server's folder and then probe for side
// files (.aux.xml, .aux, .AUX, ...) with one request each. A COG and a VRT's tiles carry all
// they need, so /vsicurl/ sees an empty folder. Only /vsicurl/: set for every path,
// EMPTY_DIR would also hide the side files of local rasters (.tfw world files, .prj, .msk).
// The price is that a raster on a server whose georeferencing lives in a side file is not
// georeferenced.
// GDAL's own cache of raw blocks (bytes), unless the user sets GDAL_CACHEMAX.
constexpr GIntBig kGdalCacheBytes = GIntBig{16} << 20;

void ConfigureRemoteReading()
{
    SetUnlessUserSet("GDAL_HTTP_CONNECTTIMEOUT", "10");
    SetUnlessUserSet("GDAL_HTTP_LOW_SPEED_TIME", "15");  // seconds below the limit
    SetUnlessUserSet("GDAL_HTTP_LOW_SPEED_LIMIT", "1");  // bytes per second: a stalled transfer
    if (CPLGetConfigOption("GDAL_DISABLE_READDIR_ON_OPEN", nullptr) == nullptr)
        VSISetPathSpecificOption("/vsicurl/", "GDAL_DISABLE_READDIR_ON_OPEN", "EMPTY_DIR");
}

}  // namespace

void EnsureGdalRegistered()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        ConfigureRemoteReading();
        // Heights are read through our own block cache; GDAL's, 5 % of the memory by
        // default, would only hold the same blocks a second time.
        if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr)
            GDALSetCacheMax64(kGdalCacheBytes);
    });
}

std::string GdalPathOf(const std::string& source)
{
    const std::size_t scheme = WebSchemeLength(source);
    if (scheme == 0)
        return source;
    // /vsicurl/ takes the scheme in lower case only ("Missing url parameter" otherwise).
    std::string path = "/vsicurl/";
    std::transform(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(scheme),
                   std::back_inserter(path),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    path.append(source, scheme);
    return path;
}

bool IsRemoteSource(const std::string& source)
{
    return WebSchemeLength(source) > 0 || HasNetworkPrefix(source);
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
    return message != nullptr && *message != '\0'
               ? i18n::Format(i18n::Translate("raster", "（GDAL：%1）"), {message})
               : std::string();
}

}  // namespace keldarn::raster
