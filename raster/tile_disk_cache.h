#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace keldarn::raster {

// Service tiles on disk, one file per tile under a cache folder, each written whole or not at all
// (a temporary file renamed into place), so a tile is either absent or as the server sent it,
// unless something outside cut it short.
//
// Everything in the folder counts against one bound, GDAL's WMS cache in it too: past the bound
// the least recently used files go, by modification time (a Load renews it), down to 90 % of the
// bound. The running total starts from a scan of the folder at the first Store; files that
// another process adds are counted at the next eviction, which rescans.
//
// Thread-safety: every member is safe to call from several threads. All users of one folder in
// the process share one instance (ForFolder) and so one running total.
class TileDiskCache {
public:
    // The cache of `folder` (created when the first tile is stored), with the bound the latest
    // caller gave.
    static std::shared_ptr<TileDiskCache> ForFolder(const std::filesystem::path& folder,
                                                    std::uint64_t boundBytes);

    explicit TileDiskCache(std::filesystem::path folder, std::uint64_t boundBytes);

    // The bytes of a tile (`relative` to the folder), or nothing if it is not cached.
    std::optional<std::string> Load(const std::filesystem::path& relative) const;
    // Stores a tile, replacing any earlier one; on a disk error the tile is simply not cached.
    void Store(const std::filesystem::path& relative, std::string_view bytes);
    // Deletes a tile found damaged.
    void Discard(const std::filesystem::path& relative);

    const std::filesystem::path& Folder() const { return folder_; }

private:
    void SetBound(std::uint64_t boundBytes);
    void EvictLocked();

    const std::filesystem::path folder_;
    std::mutex mutex_;
    std::uint64_t boundBytes_;
    std::optional<std::uint64_t> totalBytes_;  // unknown until the first Store
};

}  // namespace keldarn::raster
