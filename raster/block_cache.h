#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

class GDALRasterBand;

namespace keldarn::raster {

// Decoded blocks of one raster band as doubles, least recently used first out under one
// bound in bytes. The values are the band's raw values (no-data markers included, integers
// not rounded, scale/offset not applied); what they mean is the caller's business. The one
// exception is a band whose mask is not its no-data value: an alpha band (a folder mosaic's
// coverage), a GeoTIFF's internal mask or a .msk file. Samples that such a mask sets to 0
// read as NaN. Likewise NaN are the samples the file never wrote (a sparse GeoTIFF's missing
// blocks, a VRT's area outside its sources) where the band has no no-data value: GDAL would
// read them as 0, which is a height. With a no-data value GDAL fills them with it.
//
// Blocks follow the band's natural block size, except for strips (blocks a few rows high or
// whole-image blocks), which are read as kFallbackBlockSize squares so that a 2-D
// neighbourhood costs few reads. Blocks at the right and bottom edges are partial.
//
// Not thread-safe: one thread at a time. The band must outlive the cache.
class BlockCache {
public:
    static constexpr std::size_t kDefaultBoundBytes = std::size_t{256} << 20;
    static constexpr int kFallbackBlockSize = 256;

    // boundBytes: the most memory the decoded blocks may hold; at least one block is always
    // held, so a bound below one block's size holds exactly one.
    // sourceName: how error messages name the raster, e.g. the path the user chose; empty
    // names it by the dataset's description (its file name, empty for one built in memory).
    explicit BlockCache(GDALRasterBand* band, std::size_t boundBytes = kDefaultBoundBytes,
                        std::string sourceName = {});
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // The raw value at (column, row), 0-based from the top-left cell, or NaN where the mask
    // voids it; both must lie inside the raster. Throws RasterError if GDAL fails to read the
    // block; GDAL's report is in the message, not on stderr.
    double Value(int column, int row)
    {
        const int bx = column / blockWidth_;
        const int by = row / blockHeight_;
        if (bx != lastBlockX_ || by != lastBlockY_)
            Touch(bx, by);
        return last_->values[static_cast<std::size_t>(row - by * blockHeight_) * last_->width +
                             static_cast<std::size_t>(column - bx * blockWidth_)];
    }

    int BlockWidth() const { return blockWidth_; }
    int BlockHeight() const { return blockHeight_; }
    std::size_t BoundBytes() const { return boundBytes_; }
    // Bytes of decoded values held now; never above BoundBytes() unless one block is larger.
    std::size_t BytesHeld() const { return bytesHeld_; }
    // Blocks read from GDAL so far (misses).
    std::uint64_t ReadCount() const { return readCount_; }

private:
    struct Block {
        std::int64_t key;
        int width;
        int height;
        std::vector<double> values;  // row-major, width × height
    };

    void Touch(int bx, int by);
    Block Read(int bx, int by) const;
    [[noreturn]] void FailRead(int x0, int y0, int width, int height) const;
    void VoidUnwritten(Block& block, int x0, int y0) const;

    GDALRasterBand* band_;
    // The band's mask when it is more than the no-data value; null otherwise.
    GDALRasterBand* mask_ = nullptr;
    // No no-data value: blocks the file never wrote must be found and voided.
    bool voidUnwritten_ = false;
    std::string sourceName_;
    std::size_t boundBytes_;
    int columns_;
    int rows_;
    int blockWidth_;
    int blockHeight_;
    // Front is the most recently used.
    std::list<Block> blocks_;
    std::unordered_map<std::int64_t, std::list<Block>::iterator> index_;
    std::size_t bytesHeld_ = 0;
    std::uint64_t readCount_ = 0;
    // The block of the last Value(), so that neighbouring samples skip the lookup.
    int lastBlockX_ = -1;
    int lastBlockY_ = -1;
    const Block* last_ = nullptr;
};

}  // namespace keldarn::raster
