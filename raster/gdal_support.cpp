#include "raster/gdal_support.h"

#include "i18n/interface_text.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_minixml.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>
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

struct XmlFree {
    void operator()(CPLXMLNode* node) const { CPLDestroyXMLNode(node); }
};
using XmlPtr = std::unique_ptr<CPLXMLNode, XmlFree>;

struct DatasetClose {
    void operator()(void* dataset) const { GDALClose(dataset); }
};

// A VRT document as GDAL holds it, file names as written (relative ones stay relative);
// null for other datasets.
XmlPtr VrtDocument(GDALDatasetH dataset)
{
    GDALDriverH driver = GDALGetDatasetDriver(dataset);
    if (driver == nullptr || !EQUAL(GDALGetDriverShortName(driver), "VRT"))
        return nullptr;
    char** text = GDALGetMetadata(dataset, "xml:VRT");
    return XmlPtr(text != nullptr && text[0] != nullptr ? CPLParseXMLString(text[0]) : nullptr);
}

// The name GDAL opens a source element's file by. "vrt://path?options" wraps the dataset at
// path; a name that is itself a VRT document ("<VRTDataset>...") is returned as it is.
std::string SourceName(const CPLXMLNode* filename, const std::string& vrtFolder)
{
    std::string name = CPLGetXMLValue(filename, nullptr, "");
    if (StartsWithIgnoringCase(name, "vrt://"))
        name = name.substr(6, name.find('?') == std::string::npos ? std::string::npos : name.find('?') - 6);
    if (name.starts_with("<"))
        return name;
    if (CPLTestBool(CPLGetXMLValue(filename, "relativeToVRT", "0")))
        return CPLProjectRelativeFilename(vrtFolder.c_str(), name.c_str());
    return name;
}

std::string FolderOf(GDALDatasetH dataset)
{
    const std::string description = GDALGetDescription(dataset);
    return description.starts_with("<") ? std::string() : std::string(CPLGetPath(description.c_str()));
}

bool NamesVrt(const std::string& name)
{
    const std::string_view suffix = ".vrt";
    return name.starts_with("<VRTDataset") ||
           (name.size() >= suffix.size() &&
            StartsWithIgnoringCase(std::string_view(name).substr(name.size() - suffix.size()), suffix));
}

// Nested VRTs deeper than this are not opened (a VRT may name itself).
constexpr int kMaxVrtDepth = 8;

std::string RawBandIn(GDALDatasetH dataset, bool fromAddress, int depth);

std::string RawBandUnder(const CPLXMLNode* node, const std::string& vrtFolder, bool fromAddress, int depth)
{
    for (; node != nullptr; node = node->psNext) {
        if (node->eType != CXT_Element)
            continue;
        const std::string_view element = node->pszValue;
        if (element == "VRTRasterBand" && EQUAL(CPLGetXMLValue(node, "subClass", ""), "VRTRawRasterBand")) {
            if (fromAddress)
                return SourceName(CPLGetXMLNode(node, "SourceFilename"), vrtFolder);
            continue;  // its SourceFilename is raw bytes, not a raster
        }
        // SourceFilename of a source or an overview; SourceDataset of a warped VRT.
        if (element == "SourceFilename" || element == "SourceDataset") {
            const std::string name = SourceName(node, vrtFolder);
            // Local VRTs named by a local VRT are the user's own and are not opened.
            if (depth < kMaxVrtDepth && NamesVrt(name) && (fromAddress || IsRemoteSource(name))) {
                const char* const vrtOnly[] = {"VRT", nullptr};
                const std::unique_ptr<void, DatasetClose> nested(
                    GDALOpenEx(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, vrtOnly, nullptr, nullptr));
                if (nested) {
                    const std::string found =
                        RawBandIn(nested.get(), fromAddress || IsRemoteSource(name), depth + 1);
                    if (!found.empty())
                        return found;
                }
            }
            continue;
        }
        const std::string found = RawBandUnder(node->psChild, vrtFolder, fromAddress, depth);
        if (!found.empty())
            return found;
    }
    return {};
}

std::string RawBandIn(GDALDatasetH dataset, bool fromAddress, int depth)
{
    const XmlPtr document = VrtDocument(dataset);
    return document ? RawBandUnder(document.get(), FolderOf(dataset), fromAddress, depth) : std::string();
}

// What a source element covers of its VRT band, in the band's cells; a source without a
// DstRect covers the whole band.
bool Overlaps(const CPLXMLNode* source, const CellWindow& window)
{
    const CPLXMLNode* rect = CPLGetXMLNode(source, "DstRect");
    if (rect == nullptr)
        return true;
    const double x0 = CPLAtof(CPLGetXMLValue(rect, "xOff", "0"));
    const double y0 = CPLAtof(CPLGetXMLValue(rect, "yOff", "0"));
    const double x1 = x0 + CPLAtof(CPLGetXMLValue(rect, "xSize", "0"));
    const double y1 = y0 + CPLAtof(CPLGetXMLValue(rect, "ySize", "0"));
    return x0 < window.column + window.columns && x1 > window.column && y0 < window.row + window.rows &&
           y1 > window.row;
}

// The length of the UTF-8 character at the start of `text` (shortest form, no surrogates,
// at most U+10FFFF), or 0 if its bytes are none.
std::size_t Utf8CharacterLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

// GDAL's reports quote the bytes of the file they fail on (an attribute name of a broken
// VRT), which need not be UTF-8; a message box needs UTF-8, so each byte that is no part of
// a UTF-8 character becomes U+FFFD.
std::string ValidUtf8(std::string_view text)
{
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = Utf8CharacterLength(text);
        valid.append(length == 0 ? "\xEF\xBF\xBD" : text.substr(0, length));
        text.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return valid;
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

std::vector<CellWindow> UnwrittenParts(GDALRasterBandH band, const CellWindow& window, int maxQueries)
{
    const auto unwritten = [band](const CellWindow& w) {
        const int status = GDALGetDataCoverageStatus(band, w.column, w.row, w.columns, w.rows, 0, nullptr);
        return (status & GDAL_DATA_COVERAGE_STATUS_EMPTY) != 0 &&
               (status & GDAL_DATA_COVERAGE_STATUS_DATA) == 0;
    };
    const int status =
        GDALGetDataCoverageStatus(band, window.column, window.row, window.columns, window.rows, 0, nullptr);
    if ((status & GDAL_DATA_COVERAGE_STATUS_EMPTY) == 0)
        return {};
    if ((status & GDAL_DATA_COVERAGE_STATUS_DATA) == 0)
        return {window};
    // Partly written: ask block by block, aligned to the band's blocks; groups of k × k blocks
    // where there would be more than maxQueries.
    int blockColumns = 0, blockRows = 0;
    GDALGetBlockSize(band, &blockColumns, &blockRows);
    const int endColumn = window.column + window.columns;
    const int endRow = window.row + window.rows;
    const double blocks =
        std::ceil(static_cast<double>(endColumn) / blockColumns - window.column / blockColumns) *
        std::ceil(static_cast<double>(endRow) / blockRows - window.row / blockRows);
    const int k = std::max(1, static_cast<int>(std::ceil(std::sqrt(blocks / std::max(1, maxQueries)))));
    const int stepColumns = blockColumns * k;
    const int stepRows = blockRows * k;
    std::vector<CellWindow> parts;
    for (int row = window.row / stepRows * stepRows; row < endRow; row += stepRows)
        for (int column = window.column / stepColumns * stepColumns; column < endColumn;
             column += stepColumns) {
            CellWindow part{std::max(column, window.column), std::max(row, window.row), 0, 0};
            part.columns = std::min(column + stepColumns, endColumn) - part.column;
            part.rows = std::min(row + stepRows, endRow) - part.row;
            if (unwritten(part))
                parts.push_back(part);
        }
    return parts;
}

std::string RawBandFromAddress(GDALDatasetH dataset)
{
    return RawBandIn(dataset, IsRemoteSource(GDALGetDescription(dataset)), 0);
}

std::string MissingVrtSource(GDALRasterBandH band, const CellWindow& window)
{
    GDALDatasetH dataset = GDALGetBandDataset(band);
    const XmlPtr document = dataset != nullptr ? VrtDocument(dataset) : nullptr;
    const CPLXMLNode* root = document ? CPLGetXMLNode(document.get(), "=VRTDataset") : nullptr;
    if (root == nullptr)
        return {};
    const std::string folder = FolderOf(dataset);
    const int number = GDALGetBandNumber(band);
    for (const CPLXMLNode* node = root->psChild; node != nullptr; node = node->psNext) {
        if (node->eType != CXT_Element || !EQUAL(node->pszValue, "VRTRasterBand") ||
            std::atoi(CPLGetXMLValue(node, "band", "0")) != number)
            continue;
        for (const CPLXMLNode* source = node->psChild; source != nullptr; source = source->psNext) {
            const CPLXMLNode* filename = CPLGetXMLNode(source, "SourceFilename");
            if (source->eType != CXT_Element || filename == nullptr || !Overlaps(source, window))
                continue;
            const std::string name = SourceName(filename, folder);
            VSIStatBufL stat;
            if (!name.starts_with("<") && VSIStatL(name.c_str(), &stat) != 0)
                return ValidUtf8(name.starts_with("/vsicurl/") ? name.substr(9) : name);
        }
    }
    return {};
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
               ? i18n::Format(i18n::Translate("raster", "（GDAL：%1）"), {ValidUtf8(message)})
               : std::string();
}

}  // namespace keldarn::raster
