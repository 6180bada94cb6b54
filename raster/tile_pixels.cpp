#include "raster/tile_pixels.h"

#include "raster/mosaic.h"

#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include <algorithm>
#include <atomic>

namespace keldarn::raster {

namespace {

constexpr std::size_t kPlane = std::size_t{kTilePx} * kTilePx;

// A GDAL in-memory file over bytes owned elsewhere, unlinked when destroyed.
class MemoryFile {
public:
    explicit MemoryFile(std::string& bytes) : name_("/vsimem/keldarn_tile_" + std::to_string(counter_++))
    {
        VSILFILE* file =
            VSIFileFromMemBuffer(name_.c_str(), reinterpret_cast<GByte*>(bytes.data()), bytes.size(), FALSE);
        if (file != nullptr)
            VSIFCloseL(file);
        else
            name_.clear();
    }
    ~MemoryFile()
    {
        if (!name_.empty())
            VSIUnlink(name_.c_str());
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const std::string& Name() const { return name_; }

private:
    static inline std::atomic<unsigned> counter_{0};
    std::string name_;
};

bool ReadBand(GDALDatasetH tile, int band, std::uint8_t* plane)
{
    return GDALRasterIO(GDALGetRasterBand(tile, band), GF_Read, 0, 0, GDALGetRasterXSize(tile),
                        GDALGetRasterYSize(tile), plane, kTilePx, kTilePx, GDT_Byte, 0, 0) == CE_None;
}

// Palette indices in plane 0 become the entries' red, green, blue and alpha (PNG's tRNS chunk
// gives GDAL the alpha of the entries).
void ExpandPalette(GDALColorTableH palette, TilePixels& pixels)
{
    const int entries = GDALGetColorEntryCount(palette);
    for (std::size_t k = 0; k < kPlane; ++k) {
        const int index = pixels[k];
        GDALColorEntry colour{0, 0, 0, 0};
        if (index < entries)
            GDALGetColorEntryAsRGB(palette, index, &colour);
        pixels[k] = static_cast<std::uint8_t>(colour.c1);
        pixels[kPlane + k] = static_cast<std::uint8_t>(colour.c2);
        pixels[2 * kPlane + k] = static_cast<std::uint8_t>(colour.c3);
        pixels[3 * kPlane + k] = static_cast<std::uint8_t>(colour.c4);
    }
}

std::optional<TilePixels> ReadPixels(GDALDatasetH tile)
{
    const int bands = GDALGetRasterCount(tile);
    if (bands < 1)
        return std::nullopt;
    TilePixels pixels(4 * kPlane, 255);  // opaque unless the tile has alpha
    const auto plane = [&pixels](int k) { return pixels.data() + k * kPlane; };
    bool ok = ReadBand(tile, 1, plane(0));
    if (const GDALColorTableH palette = GDALGetRasterColorTable(GDALGetRasterBand(tile, 1))) {
        if (ok)
            ExpandPalette(palette, pixels);
    } else if (bands >= 3) {
        ok = ok && ReadBand(tile, 2, plane(1)) && ReadBand(tile, 3, plane(2)) &&
             (bands < 4 || ReadBand(tile, 4, plane(3)));
    } else {
        std::copy(plane(0), plane(1), plane(1));
        std::copy(plane(0), plane(1), plane(2));
        ok = ok && (bands < 2 || ReadBand(tile, 2, plane(3)));
    }
    return ok ? std::optional(std::move(pixels)) : std::nullopt;
}

}  // namespace

std::optional<TilePixels> DecodeTile(std::string& bytes, bool strict)
{
    const MemoryFile file(bytes);
    if (file.Name().empty() || bytes.empty())
        return std::nullopt;
    static const char* const kTileDrivers[] = {"PNG", "JPEG", "WEBP", "GIF", nullptr};
    CPLErrorReset();
    const OwnedDataset tile(
        GDALOpenEx(file.Name().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, kTileDrivers, nullptr, nullptr));
    if (!tile)
        return std::nullopt;
    std::optional<TilePixels> pixels = ReadPixels(tile.get());
    if (strict && CPLGetLastErrorType() != CE_None)
        return std::nullopt;
    return pixels;
}

}  // namespace keldarn::raster
