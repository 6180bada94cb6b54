#include "raster/mosaic.h"

#include "i18n/interface_text.h"
#include "raster/gdal_support.h"
#include "raster/raster_error.h"

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace keldarn::raster {

namespace {

namespace fs = std::filesystem;

struct BuildVrtOptionsFree {
    void operator()(GDALBuildVRTOptions* options) const { GDALBuildVRTOptionsFree(options); }
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
    for (const char* suffix : {".ovr", ".aux.xml", ".msk", ".prj", ".tfw", ".hdr"})
        if (name.ends_with(suffix))
            return true;
    return false;
}

bool IsGeoreferencedRaster(const std::string& file)
{
    const OwnedDataset probe(
        GDALOpenEx(file.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    std::array<double, 6> gt{};
    return probe && GDALGetRasterCount(probe.get()) >= 1 &&
           GDALGetGeoTransform(probe.get(), gt.data()) == CE_None;
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

// The files directly in the folder (or anywhere in the zip archive), sorted by name, that
// GDAL opens as georeferenced rasters.
std::vector<std::string> RastersInFolder(const std::string& folder, const std::string& kind)
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
    std::erase_if(files, [](const std::string& file) { return !IsGeoreferencedRaster(file); });
    return files;
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

OwnedDataset BuildFolderMosaic(const std::string& folder, const std::string& kind)
{
    EnsureGdalRegistered();
    const QuietGdalErrors quiet;  // the probes of files that are not rasters fail by design
    const std::vector<std::string> files = RastersInFolder(folder, kind);
    if (files.empty())
        Fail(kind, folder, i18n::Translate("raster", "文件夹中没有 GDAL 能读取的带地理参考的栅格文件"));
    std::vector<const char*> names;
    for (const std::string& file : files)
        names.push_back(file.c_str());
    // The finest resolution of the tiles; an alpha band marks the gaps between tiles that
    // have no no-data value of their own.
    CPLStringList args;
    args.AddString("-resolution");
    args.AddString("highest");
    args.AddString("-addalpha");
    const std::unique_ptr<GDALBuildVRTOptions, BuildVrtOptionsFree> options(
        GDALBuildVRTOptionsNew(args.List(), nullptr));
    int usageError = FALSE;
    OwnedDataset mosaic(
        GDALBuildVRT("", static_cast<int>(names.size()), nullptr, names.data(), options.get(), &usageError));
    if (!mosaic)
        Fail(kind, folder, i18n::Translate("raster", "无法拼接文件夹中的栅格") + GdalDetail());
    return mosaic;
}

}  // namespace keldarn::raster
