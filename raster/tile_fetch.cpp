#include "raster/tile_fetch.h"

#include "i18n/interface_text.h"

#include <cpl_conv.h>
#include <cpl_http.h>
#include <cpl_string.h>

#include <cstdio>
#include <memory>

namespace keldarn::raster {

namespace {

// Browsers ask a host for about six things at once; tile services expect no more.
constexpr int kParallelFetches = 6;
// Tile services ask clients to name themselves (OpenStreetMap's tile usage policy).
constexpr const char* kUserAgent = "Keldarn/1.0 (land survey terrain viewer)";

struct MultiResultFree {
    int count = 0;
    void operator()(CPLHTTPResult** results) const { CPLHTTPDestroyMultiResult(results, count); }
};

TileAnswer Classify(const CPLHTTPResult& result)
{
    if (result.pszErrBuf != nullptr && *result.pszErrBuf != '\0') {
        int code = 0;
        if (std::sscanf(result.pszErrBuf, "HTTP error code : %d", &code) == 1)
            return code == 404 || code == 410
                       ? TileAnswer{}
                       : TileAnswer{TileOutcome::HttpError, {}, "HTTP " + std::to_string(code)};
        return {TileOutcome::Unreachable, {}, result.pszErrBuf};
    }
    if (result.nStatus != 0)
        return {TileOutcome::Unreachable, {}, "curl " + std::to_string(result.nStatus)};
    if (result.nDataLen <= 0)
        return {};  // 204 No Content or an empty body: nothing there
    return {
        TileOutcome::Image, std::string(reinterpret_cast<const char*>(result.pabyData), result.nDataLen), {}};
}

}  // namespace

std::vector<TileAnswer> FetchTiles(const std::vector<std::string>& urls)
{
    std::vector<TileAnswer> answers(urls.size());
    if (urls.empty())
        return answers;
    std::vector<const char*> list;
    for (const std::string& url : urls)
        list.push_back(url.c_str());
    CPLStringList options;
    if (CPLGetConfigOption("GDAL_HTTP_USERAGENT", nullptr) == nullptr)
        options.SetNameValue("USERAGENT", kUserAgent);
    const int count = static_cast<int>(urls.size());
    const std::unique_ptr<CPLHTTPResult*, MultiResultFree> results(
        CPLHTTPMultiFetch(list.data(), count, kParallelFetches, options.List()), MultiResultFree{count});
    for (int k = 0; k < count; ++k)
        answers[k] = results && results.get()[k]
                         ? Classify(*results.get()[k])
                         : TileAnswer{TileOutcome::Unreachable,
                                      {},
                                      i18n::Translate("raster", "GDAL 未能发出网络请求")};
    return answers;
}

}  // namespace keldarn::raster
