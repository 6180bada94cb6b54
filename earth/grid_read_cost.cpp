#include "earth/grid_read_cost.h"

#include "raster/mosaic.h"

#include <cpl_string.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace keldarn::earth {

namespace {

struct BlockLayout {
    int width = 0;
    int height = 0;
    int bytesPerSample = 0;
};

BlockLayout LayoutOf(GDALRasterBandH band)
{
    BlockLayout layout;
    GDALGetBlockSize(band, &layout.width, &layout.height);
    layout.bytesPerSample = GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band));
    // Bands interleaved by pixel are decoded together: a block holds every band's samples.
    GDALDatasetH dataset = GDALGetBandDataset(band);
    const char* interleave = dataset ? GDALGetMetadataItem(dataset, "INTERLEAVE", "IMAGE_STRUCTURE") : nullptr;
    if (interleave != nullptr && EQUAL(interleave, "PIXEL"))
        layout.bytesPerSample *= GDALGetRasterCount(dataset);
    return layout;
}

bool IsVrt(GDALDatasetH dataset)
{
    GDALDriverH driver = GDALGetDatasetDriver(dataset);
    return driver != nullptr && std::strcmp(GDALGetDriverShortName(driver), "VRT") == 0;
}

// The block layout of the file behind a band: a VRT's blocks are only a request size,
// the work is done in the blocks of the rasters it refers to. A VRT of VRTs is followed
// two levels down.
BlockLayout DataLayout(GDALDatasetH dataset, GDALRasterBandH band, int depth = 0)
{
    const BlockLayout own = LayoutOf(band);
    if (depth >= 2 || !IsVrt(dataset))
        return own;
    const CPLStringList files(GDALGetFileList(dataset));
    const std::string self = GDALGetDescription(dataset);
    for (int k = 0; k < files.size(); ++k) {
        if (self == files[k])
            continue;
        const raster::OwnedDataset source(
            GDALOpenEx(files[k], GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
        if (!source || GDALGetRasterCount(source.get()) < 1)
            continue;
        BlockLayout layout = DataLayout(source.get(), GDALGetRasterBand(source.get(), 1), depth + 1);
        layout.bytesPerSample = std::max(layout.bytesPerSample, 1);
        return layout;
    }
    return own;
}

// How many distinct blocks of `blockSize` samples the nearest samples of `samples` buffer
// cells over `extent` source cells fall in (GDAL takes source cell ⌊(i + ½)·extent/samples⌋).
std::uint64_t BlocksAlong(int extent, int samples, int blockSize)
{
    if (extent <= 0 || samples <= 0 || blockSize <= 0)
        return 0;
    const std::uint64_t allBlocks = (static_cast<std::uint64_t>(extent) + blockSize - 1) / blockSize;
    if (samples >= extent || static_cast<double>(extent) / samples <= blockSize)
        return allBlocks;  // samples closer than a block apart touch every block
    std::uint64_t count = 0;
    std::int64_t lastBlock = -1;
    for (int i = 0; i < samples; ++i) {
        const auto cell = static_cast<std::int64_t>((i + 0.5) * extent / samples);
        const std::int64_t block = std::min<std::int64_t>(cell, extent - 1) / blockSize;
        if (block != lastBlock) {
            ++count;
            lastBlock = block;
        }
    }
    return count;
}

}  // namespace

GDALRasterBandH BandForDecimatedRead(GDALRasterBandH band, int columns, int rows)
{
    GDALRasterBandH best = band;
    for (int k = 0; k < GDALGetOverviewCount(band); ++k) {
        GDALRasterBandH overview = GDALGetOverview(band, k);
        if (overview == nullptr)
            continue;
        const int overviewColumns = GDALGetRasterBandXSize(overview);
        const int overviewRows = GDALGetRasterBandYSize(overview);
        if (overviewColumns >= columns && overviewRows >= rows &&
            std::int64_t{overviewColumns} * overviewRows <
                std::int64_t{GDALGetRasterBandXSize(best)} * GDALGetRasterBandYSize(best))
            best = overview;
    }
    return best;
}

std::uint64_t DecodedBytesOfRead(GDALDatasetH dataset, GDALRasterBandH band, int columns, int rows)
{
    const BlockLayout layout = DataLayout(dataset, band);
    const int extentX = GDALGetRasterBandXSize(band);
    const int extentY = GDALGetRasterBandYSize(band);
    // A block never reaches beyond the raster: a one-strip file of 10⁶ columns decodes
    // only its rows.
    const int blockWidth = std::clamp(layout.width, 1, std::max(extentX, 1));
    const int blockHeight = std::clamp(layout.height, 1, std::max(extentY, 1));
    return BlocksAlong(extentX, columns, blockWidth) * BlocksAlong(extentY, rows, blockHeight) *
           static_cast<std::uint64_t>(blockWidth) * blockHeight * std::max(layout.bytesPerSample, 1);
}

}  // namespace keldarn::earth
