#include "raster/block_cache.h"

#include "i18n/interface_text.h"
#include "raster/gdal_support.h"
#include "raster/raster_error.h"

#include <cpl_conv.h>
#include <gdal_priv.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace keldarn::raster {

namespace {

// Natural blocks smaller than this on a side are strips; larger than this many cells, a
// whole-image block that would cost one huge read per cache miss.
constexpr int kMinNaturalSide = 16;
constexpr std::int64_t kMaxNaturalCells = std::int64_t{1} << 20;

}  // namespace

BlockCache::BlockCache(GDALRasterBand* band, std::size_t boundBytes, std::string sourceName)
    : band_(band), sourceName_(std::move(sourceName)), boundBytes_(boundBytes), columns_(band->GetXSize()),
      rows_(band->GetYSize())
{
    // A no-data mask says no more than the values themselves, and the caller knows the value.
    const int maskFlags = band_->GetMaskFlags();
    if (maskFlags != GMF_ALL_VALID && (maskFlags & GMF_NODATA) == 0)
        mask_ = band_->GetMaskBand();
    int hasNoData = FALSE;
    band_->GetNoDataValue(&hasNoData);
    voidUnwritten_ = hasNoData == FALSE;
    if (sourceName_.empty() && band_->GetDataset() != nullptr)
        sourceName_ = band_->GetDataset()->GetDescription();
    band_->GetBlockSize(&blockWidth_, &blockHeight_);
    const bool strip = std::min(blockWidth_, blockHeight_) < kMinNaturalSide ||
                       std::int64_t{blockWidth_} * blockHeight_ > kMaxNaturalCells;
    if (strip) {
        blockWidth_ = kFallbackBlockSize;
        blockHeight_ = kFallbackBlockSize;
    }
}

void BlockCache::FailRead(int x0, int y0, int width, int height) const
{
    const std::string detail = GdalDetail();
    std::string message = i18n::Format(i18n::Translate("raster", "无法读取高程栅格“%1”的数据块（%2, %3）"),
                                       {sourceName_, std::to_string(x0), std::to_string(y0)});
    // GDAL names a missing local source, but of one on a server it reports only the HTTP status.
    const std::string missing = MissingVrtSource(GDALRasterBand::ToHandle(band_), {x0, y0, width, height});
    if (!missing.empty() && detail.find(CPLGetFilename(missing.c_str())) == std::string::npos)
        message += i18n::Format(i18n::Translate("raster", "：它引用的文件“%1”不存在或无法访问"), {missing});
    throw RasterError(message + detail);
}

void BlockCache::VoidUnwritten(Block& block, int x0, int y0) const
{
    for (const CellWindow& part :
         UnwrittenParts(GDALRasterBand::ToHandle(band_), {x0, y0, block.width, block.height}))
        for (int row = part.row; row < part.row + part.rows; ++row)
            std::fill_n(block.values.begin() + static_cast<std::ptrdiff_t>(row - y0) * block.width +
                            (part.column - x0),
                        part.columns, std::numeric_limits<double>::quiet_NaN());
}

void BlockCache::Touch(int bx, int by)
{
    const std::int64_t key = (std::int64_t{by} << 32) | static_cast<std::uint32_t>(bx);
    if (const auto found = index_.find(key); found != index_.end()) {
        blocks_.splice(blocks_.begin(), blocks_, found->second);
    } else {
        blocks_.push_front(Read(bx, by));
        index_.emplace(key, blocks_.begin());
        bytesHeld_ += blocks_.front().values.size() * sizeof(double);
        ++readCount_;
        // The block just read stays even if it alone exceeds the bound.
        while (bytesHeld_ > boundBytes_ && blocks_.size() > 1) {
            const Block& oldest = blocks_.back();
            bytesHeld_ -= oldest.values.size() * sizeof(double);
            index_.erase(oldest.key);
            blocks_.pop_back();
        }
    }
    lastBlockX_ = bx;
    lastBlockY_ = by;
    last_ = &blocks_.front();
}

BlockCache::Block BlockCache::Read(int bx, int by) const
{
    Block block;
    block.key = (std::int64_t{by} << 32) | static_cast<std::uint32_t>(bx);
    const int x0 = bx * blockWidth_;
    const int y0 = by * blockHeight_;
    block.width = std::min(blockWidth_, columns_ - x0);
    block.height = std::min(blockHeight_, rows_ - y0);
    block.values.resize(static_cast<std::size_t>(block.width) * block.height);
    const QuietGdalErrors quiet;
    if (band_->RasterIO(GF_Read, x0, y0, block.width, block.height, block.values.data(), block.width,
                        block.height, GDT_Float64, 0, 0, nullptr) != CE_None)
        FailRead(x0, y0, block.width, block.height);
    if (voidUnwritten_)
        VoidUnwritten(block, x0, y0);
    if (mask_ != nullptr) {
        std::vector<std::uint8_t> valid(block.values.size());
        if (mask_->RasterIO(GF_Read, x0, y0, block.width, block.height, valid.data(), block.width,
                            block.height, GDT_Byte, 0, 0, nullptr) != CE_None)
            FailRead(x0, y0, block.width, block.height);
        for (std::size_t k = 0; k < valid.size(); ++k)
            if (valid[k] == 0)
                block.values[k] = std::numeric_limits<double>::quiet_NaN();
    }
    return block;
}

}  // namespace keldarn::raster
