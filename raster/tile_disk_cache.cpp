#include "raster/tile_disk_cache.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>
#include <vector>

namespace keldarn::raster {

namespace {

namespace fs = std::filesystem;

struct CachedFile {
    fs::path path;
    std::uint64_t bytes = 0;
    fs::file_time_type used;
};

std::vector<CachedFile> FilesUnder(const fs::path& folder)
{
    std::vector<CachedFile> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError))
            continue;
        const std::uint64_t bytes = it->file_size(fileError);
        const fs::file_time_type used = it->last_write_time(fileError);
        if (!fileError)
            files.push_back({it->path(), bytes, used});
    }
    return files;
}

std::uint64_t TotalBytes(const std::vector<CachedFile>& files)
{
    std::uint64_t total = 0;
    for (const CachedFile& file : files)
        total += file.bytes;
    return total;
}

// A name beside `target` that no other writer in this or another process uses.
fs::path TemporaryNameFor(const fs::path& target)
{
    static std::atomic<unsigned> counter{0};
    return fs::path(target).concat(".part" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
}

}  // namespace

std::shared_ptr<TileDiskCache> TileDiskCache::ForFolder(const fs::path& folder, std::uint64_t boundBytes)
{
    static std::mutex mutex;
    static std::map<fs::path, std::weak_ptr<TileDiskCache>> caches;
    const fs::path key = fs::weakly_canonical(fs::absolute(folder));
    const std::lock_guard lock(mutex);
    std::shared_ptr<TileDiskCache> cache = caches[key].lock();
    if (cache) {
        cache->SetBound(boundBytes);
    } else {
        cache = std::make_shared<TileDiskCache>(key, boundBytes);
        caches[key] = cache;
    }
    return cache;
}

TileDiskCache::TileDiskCache(fs::path folder, std::uint64_t boundBytes)
    : folder_(std::move(folder)), boundBytes_(boundBytes)
{
}

void TileDiskCache::SetBound(std::uint64_t boundBytes)
{
    const std::lock_guard lock(mutex_);
    boundBytes_ = boundBytes;
}

std::optional<std::string> TileDiskCache::Load(const fs::path& relative) const
{
    const fs::path file = folder_ / relative;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    std::error_code ignored;
    fs::last_write_time(file, fs::file_time_type::clock::now(), ignored);
    return bytes;
}

void TileDiskCache::Store(const fs::path& relative, std::string_view bytes)
{
    const fs::path file = folder_ / relative;
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    const fs::path temporary = TemporaryNameFor(file);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            return;
        }
    }
    const std::lock_guard lock(mutex_);
    if (!totalBytes_)
        totalBytes_ = TotalBytes(FilesUnder(folder_));  // the new tile is already counted there
    else
        *totalBytes_ += bytes.size();
    const std::uint64_t replaced = fs::exists(file, error) ? fs::file_size(file, error) : 0;
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, error);
        *totalBytes_ -= std::min<std::uint64_t>(*totalBytes_, bytes.size());
        return;
    }
    *totalBytes_ -= std::min(*totalBytes_, replaced);
    if (*totalBytes_ > boundBytes_)
        EvictLocked();
}

void TileDiskCache::Discard(const fs::path& relative)
{
    const fs::path file = folder_ / relative;
    std::error_code error;
    const std::uint64_t bytes = fs::file_size(file, error);
    if (error || !fs::remove(file, error))
        return;
    const std::lock_guard lock(mutex_);
    if (totalBytes_)
        *totalBytes_ -= std::min(*totalBytes_, bytes);
}

void TileDiskCache::EvictLocked()
{
    std::vector<CachedFile> files = FilesUnder(folder_);
    std::uint64_t total = TotalBytes(files);
    const std::uint64_t target = boundBytes_ / 10 * 9;
    if (total > boundBytes_) {
        std::sort(files.begin(), files.end(),
                  [](const CachedFile& a, const CachedFile& b) { return a.used < b.used; });
        for (const CachedFile& file : files) {
            if (total <= target)
                break;
            std::error_code error;
            if (fs::remove(file.path, error))
                total -= file.bytes;
        }
    }
    totalBytes_ = total;
}

}  // namespace keldarn::raster
