#include "raster/mosaic.h"

#include "i18n/interface_text.h"
#include "raster/gdal_handles.h"
#include "raster/gdal_support.h"
#include "raster/raster_error.h"

#include <cpl_minixml.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

namespace keldarn::raster {

namespace {

namespace fs = std::filesystem;

// Metres of one degree of latitude, to compare geographic cells with projected ones.
constexpr double kMetresPerDegree = 111320.0;

struct BuildVrtOptionsFree {
    void operator()(GDALBuildVRTOptions* options) const { GDALBuildVRTOptionsFree(options); }
};

struct XmlTreeFree {
    void operator()(CPLXMLNode* tree) const { CPLDestroyXMLNode(tree); }
};

[[noreturn]] void Fail(const std::string& kind, const std::string& folder, const std::string& reason)
{
    throw RasterError(i18n::Format(i18n::Translate("raster", "无法读取%1“%2”：%3"), {kind, folder, reason}));
}

// Side files that GDAL would open as rasters of their own but that belong to another file.
bool IsSideFile(const fs::path& file)
{
    std::string name = file.filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* suffix : {".ovr", ".aux.xml", ".msk", ".prj", ".tfw", ".hdr", ".jgw", ".pgw", ".wld"})
        if (name.ends_with(suffix))
            return true;
    return false;
}

// Every file in a zip archive, in its folders too, by GDAL's names (/vsizip/archive/entry).
std::vector<std::string> FilesInArchive(const std::string& archive, const std::string& kind)
{
    const std::string root = "/vsizip/" + archive;
    const CPLStringList entries(VSIReadDirRecursive(root.c_str()));
    if (entries.empty())
        Fail(kind, archive, i18n::Translate("raster", "无法读取该压缩文件，或其中没有文件") + GdalDetail());
    std::vector<std::string> files;
    for (int k = 0; k < entries.size(); ++k) {
        const std::string entry = entries[k];
        if (!entry.empty() && entry.back() != '/' && !IsSideFile(fs::path(entry)))
            files.push_back(root + "/" + entry);
    }
    return files;
}

// The files directly in the folder (or anywhere in the zip archive) but side files, sorted by
// name.
std::vector<std::string> FilesInFolder(const std::string& folder, const std::string& kind)
{
    std::vector<std::string> files;
    if (IsTileArchive(folder)) {
        files = FilesInArchive(folder, kind);
    } else {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(folder), error))
            if (entry.is_regular_file(error) && !IsSideFile(entry.path()))
                files.push_back(entry.path().string());
        if (error)
            Fail(kind, folder,
                 i18n::Format(i18n::Translate("raster", "无法列出文件夹内容（%1）"), {error.message()}));
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A tile's name in messages: its path inside the folder or the archive.
std::string TileName(const std::string& folder, const std::string& file)
{
    const std::string root = IsTileArchive(folder) ? "/vsizip/" + folder + "/" : folder;
    std::string name = file.starts_with(root) ? file.substr(root.size()) : file;
    while (!name.empty() && (name.front() == '/' || name.front() == '\\'))
        name.erase(name.begin());
    return name;
}

struct Tile {
    std::string file;
    OGRSpatialReference crs;
    double cellSizeM = 0.0;  // the longer side of a cell on the ground, metres (degrees at 111.32 km)
};

// The tile in `file`, or nothing for a file that no GDAL raster driver recognises. A raster
// that cannot be placed on the ground is refused by name.
std::optional<Tile> ProbeTile(const std::string& folder, const std::string& file, const std::string& kind)
{
    if (GDALIdentifyDriverEx(file.c_str(), GDAL_OF_RASTER, nullptr, nullptr) == nullptr)
        return std::nullopt;
    // pattern: the whole reason, with the tile's name for %1 and GDAL's report for %2.
    const auto refuse = [&](const std::string& pattern) {
        Fail(kind, folder, i18n::Format(pattern, {TileName(folder, file), GdalDetail()}));
    };
    const DatasetPtr dataset(GDALDataset::FromHandle(
        GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
    if (!dataset)
        refuse(i18n::Translate("raster", "其中的文件“%1”无法作为栅格打开%2"));
    if (dataset->GetRasterCount() < 1)
        refuse(i18n::Translate("raster", "其中的文件“%1”中没有栅格波段"));
    std::array<double, 6> gt{};
    if (dataset->GetGeoTransform(gt.data()) != CE_None)
        refuse(i18n::Translate("raster", "其中的文件“%1”没有地理变换参数（格网在坐标系中的位置未知）"));
    const OGRSpatialReference* crs = dataset->GetSpatialRef();
    if (crs == nullptr || crs->IsEmpty())
        refuse(i18n::Translate("raster", "其中的文件“%1”没有坐标系定义（例如缺少 .prj 文件或投影信息）"));
    const double cellSize = std::max(std::hypot(gt[1], gt[4]), std::hypot(gt[2], gt[5]));
    const double metresPerUnit = crs->IsGeographic() ? kMetresPerDegree : crs->GetLinearUnits();
    return Tile{file, *crs, cellSize * metresPerUnit};
}

struct TileGroup {
    std::vector<const Tile*> tiles;  // in file-name order
    double finestCellM = HUGE_VAL;
};

std::vector<TileGroup> GroupByCrs(const std::vector<Tile>& tiles)
{
    std::vector<TileGroup> groups;
    for (const Tile& tile : tiles) {
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const TileGroup& g) { return g.tiles.front()->crs.IsSame(&tile.crs); });
        if (group == groups.end())
            group = groups.insert(groups.end(), TileGroup{});
        group->tiles.push_back(&tile);
        group->finestCellM = std::min(group->finestCellM, tile.cellSizeM);
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TileGroup& a, const TileGroup& b) { return a.finestCellM < b.finestCellM; });
    return groups;
}

// The files that band 1 of a virtual raster reads, from its XML description.
std::set<std::string> SourcesOfFirstBand(const CPLXMLNode* vrt)
{
    std::set<std::string> files;
    for (const CPLXMLNode* band = vrt->psChild; band != nullptr; band = band->psNext) {
        if (band->eType != CXT_Element || !EQUAL(band->pszValue, "VRTRasterBand") ||
            !EQUAL(CPLGetXMLValue(band, "band", ""), "1"))
            continue;
        for (const CPLXMLNode* source = band->psChild; source != nullptr; source = source->psNext)
            if (const char* file = CPLGetXMLValue(source, "SourceFilename", nullptr))
                files.insert(file);
    }
    return files;
}

// The group's virtual raster. GDALBuildVRT's own raster reads its tiles through GDAL's pool of
// shared handles, which hands one tile handle to the mosaics of several threads at once (two
// threads then decode one file through one handle). Opened again from its XML, the raster
// keys the pool by itself, so its tile handles are its own.
OwnedDataset BuildGroupMosaic(const TileGroup& group, const std::string& folder, const std::string& kind)
{
    std::vector<const char*> names;
    for (const Tile* tile : group.tiles)
        names.push_back(tile->file.c_str());
    // The finest resolution of the tiles; an alpha band marks the gaps between tiles that
    // have no no-data value of their own.
    CPLStringList args;
    for (const char* arg : {"-resolution", "highest", "-addalpha"})
        args.AddString(arg);
    const std::unique_ptr<GDALBuildVRTOptions, BuildVrtOptionsFree> options(
        GDALBuildVRTOptionsNew(args.List(), nullptr));
    int usageError = FALSE;
    const OwnedDataset built(
        GDALBuildVRT("", static_cast<int>(names.size()), nullptr, names.data(), options.get(), &usageError));
    if (!built)
        Fail(kind, folder, i18n::Translate("raster", "无法拼接文件夹中的栅格") + GdalDetail());
    char** description = GDALGetMetadata(built.get(), "xml:VRT");
    if (description == nullptr || description[0] == nullptr)
        Fail(kind, folder, i18n::Translate("raster", "无法拼接文件夹中的栅格") + GdalDetail());
    const std::string xml = description[0];
    const std::unique_ptr<CPLXMLNode, XmlTreeFree> tree(CPLParseXMLString(xml.c_str()));
    const std::set<std::string> used = tree ? SourcesOfFirstBand(tree.get()) : std::set<std::string>{};
    for (const Tile* tile : group.tiles)
        if (!used.contains(tile->file))
            Fail(kind, folder,
                 i18n::Format(i18n::Translate("raster", "其中的文件“%1”无法与同一坐标系的其他瓦片拼接%2"),
                              {TileName(folder, tile->file), GdalDetail()}));
    OwnedDataset mosaic(
        GDALOpenEx(xml.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!mosaic)
        Fail(kind, folder, i18n::Translate("raster", "无法拼接文件夹中的栅格") + GdalDetail());
    return mosaic;
}

std::string CrsName(const OGRSpatialReference& crs)
{
    const char* name = crs.GetName();
    return name != nullptr ? name : "?";
}

}  // namespace

bool IsTileArchive(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    std::error_code error;
    return extension == ".zip" && fs::is_regular_file(fs::path(path), error);
}

bool IsTileCollection(const std::string& path)
{
    std::error_code error;
    return !IsRemoteSource(path) && (fs::is_directory(fs::path(path), error) || IsTileArchive(path));
}

void GdalDatasetCloser::operator()(void* dataset) const
{
    GDALClose(dataset);
}

std::vector<OwnedDataset> BuildFolderMosaics(const std::string& folder, const std::string& kind)
{
    EnsureGdalRegistered();
    const QuietGdalErrors quiet;
    std::vector<Tile> tiles;
    for (const std::string& file : FilesInFolder(folder, kind))
        if (std::optional<Tile> tile = ProbeTile(folder, file, kind))
            tiles.push_back(std::move(*tile));
    if (tiles.empty())
        Fail(kind, folder, i18n::Translate("raster", "文件夹中没有 GDAL 能读取的带地理参考的栅格文件"));
    std::vector<OwnedDataset> mosaics;
    for (const TileGroup& group : GroupByCrs(tiles))
        mosaics.push_back(BuildGroupMosaic(group, folder, kind));
    return mosaics;
}

OwnedDataset BuildFolderMosaic(const std::string& folder, const std::string& kind)
{
    std::vector<OwnedDataset> mosaics = BuildFolderMosaics(folder, kind);
    if (mosaics.size() > 1) {
        std::string names;
        for (const OwnedDataset& mosaic : mosaics) {
            const OGRSpatialReference* crs = GDALDataset::FromHandle(mosaic.get())->GetSpatialRef();
            names += (names.empty() ? "" : "、") + (crs != nullptr ? CrsName(*crs) : std::string("?"));
        }
        Fail(kind, folder,
             i18n::Format(
                 i18n::Translate("raster", "其中的瓦片分属 %1 个坐标系（%2），这里只能使用同一坐标系的瓦片"),
                 {std::to_string(mosaics.size()), names}));
    }
    return std::move(mosaics.front());
}

}  // namespace keldarn::raster
