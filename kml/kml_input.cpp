#include "kml/kml_input.h"

#include "fileio/file_error.h"
#include "i18n/interface_text.h"
#include "kml/kml_error.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace keldarn::kml {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// An archive opened for reading only: discarding it never writes anything back.
struct ZipArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipEntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};

std::string ReadFailure(const std::string& displayName, const std::string& reason)
{
    return i18n::Format(i18n::Translate("kml", "读取KML文件 %1 出错：%2"), {displayName, reason});
}

class FileSource : public KmlByteSource {
public:
    FileSource(FileHandle file, std::string displayName)
        : file_(std::move(file)), displayName_(std::move(displayName))
    {
    }

    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        const std::size_t count = std::fread(buffer, 1, capacity, file_.get());
        if (count < capacity && std::ferror(file_.get()))
            throw KmlError(ReadFailure(displayName_, fileio::DescribeSystemError(errno)));
        return count;
    }

private:
    FileHandle file_;
    std::string displayName_;
};

// Inflates an entry into the reader's buffer, never more than the buffer and one byte
// beyond the bound in all: the size the archive states for the entry is not used at all.
class ZipEntrySource : public KmlByteSource {
public:
    // Declared in this order so that the entry is closed before its archive.
    std::shared_ptr<KmzArchive> archive;
    std::unique_ptr<zip_file_t, ZipEntryCloser> entry;
    std::string displayName;
    std::string archiveName;
    std::string entryName;
    std::uint64_t limitMB = kDefaultKmzEntryMB;

    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        // 2^40 MB is beyond any disk; the cap keeps the bytes from overflowing.
        const std::uint64_t limitBytes = std::min<std::uint64_t>(limitMB, std::uint64_t{1} << 40) << 20;
        const std::uint64_t wanted = std::min<std::uint64_t>(capacity, limitBytes - inflated_ + 1);
        const zip_int64_t count = zip_fread(entry.get(), buffer, wanted);
        if (count < 0)  // a damaged archive: bad compressed data or checksum
            throw KmlError(
                ReadFailure(displayName, i18n::Format(i18n::Translate("kml", "压缩数据已损坏（%1）"),
                                                      {zip_file_strerror(entry.get())})));
        inflated_ += static_cast<std::uint64_t>(count);
        if (inflated_ > limitBytes)
            throw KmlError(i18n::Format(
                i18n::Translate("kml", "KMZ文件 %1 中的 %2 解压后超过 %3 MB，已停止读取。如确需读取，"
                                       "可在设置文件 Keldarn.ini 的 [KML] 节把 KmzEntryMB 调大。"),
                {archiveName, entryName, std::to_string(limitMB)}));
        return static_cast<std::size_t>(count);
    }

private:
    std::uint64_t inflated_ = 0;  // never beyond limitBytes + 1
};

std::string Lowercase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return lower;
}

bool EndsWithKmlExtension(std::string_view name)
{
    return name.size() >= 4 && Lowercase(name.substr(name.size() - 4)) == ".kml";
}

// Index of the archive's main KML document, or -1 when it holds none.
zip_int64_t FindMainDocument(zip_t* archive)
{
    zip_int64_t firstKml = -1;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (name == nullptr || std::strchr(name, '/') != nullptr || !EndsWithKmlExtension(name))
            continue;
        if (std::string_view(name).size() == 7 && strncasecmp(name, "doc.kml", 7) == 0)
            return i;
        if (firstKml < 0)
            firstKml = i;
    }
    return firstKml;
}

std::string ZipOpenReason(int zipErrorCode)
{
    switch (zipErrorCode) {
    case ZIP_ER_NOZIP:
        return i18n::Translate("kml", "不是有效的KMZ（ZIP）压缩文件");
    case ZIP_ER_INCONS:
        return i18n::Translate("kml", "压缩文件已损坏或不完整");
    default: {
        zip_error_t error;
        zip_error_init_with_code(&error, zipErrorCode);
        std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        return reason;
    }
    }
}

}  // namespace

class KmzArchive {
public:
    KmzArchive(zip_t* zip, std::string fileName, const KmlReadLimits& limits)
        : zip_(zip), fileName_(std::move(fileName)), limits_(limits)
    {
    }

    zip_t* zip() const { return zip_.get(); }
    const std::string& fileName() const { return fileName_; }
    const KmlReadLimits& limits() const { return limits_; }

    // Index of the *.kml entry of this name, of the same letter case if there is one,
    // else of any; -1 when there is none.
    zip_int64_t FindKml(const std::string& name)
    {
        const zip_int64_t exact = zip_name_locate(zip(), name.c_str(), 0);
        if (exact >= 0)
            return exact;
        // libzip looks up a name in any case by going through every entry, so the names
        // are indexed once for an archive whose documents may hold many links.
        if (!indexed_) {
            const zip_int64_t count = zip_get_num_entries(zip(), 0);
            for (zip_int64_t i = 0; i < count; ++i) {
                const char* entry = zip_get_name(zip(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
                if (entry != nullptr && EndsWithKmlExtension(entry))
                    kmlByLowercaseName_.emplace(Lowercase(entry), i);
            }
            indexed_ = true;
        }
        const auto found = kmlByLowercaseName_.find(Lowercase(name));
        return found != kmlByLowercaseName_.end() ? found->second : -1;
    }

private:
    std::unique_ptr<zip_t, ZipArchiveCloser> zip_;
    std::string fileName_;
    KmlReadLimits limits_;
    std::unordered_map<std::string, zip_int64_t> kmlByLowercaseName_;
    bool indexed_ = false;
};

namespace {

KmlInput OpenEntry(std::shared_ptr<KmzArchive> archive, zip_uint64_t index)
{
    const char* name = zip_get_name(archive->zip(), index, ZIP_FL_ENC_GUESS);
    std::string entryName = name != nullptr ? name : "doc.kml";
    auto source = std::make_unique<ZipEntrySource>();
    source->entry.reset(zip_fopen_index(archive->zip(), index, 0));
    if (!source->entry)
        throw KmlError(i18n::Format(i18n::Translate("kml", "无法读取KMZ文件 %1 中的 %2：%3"),
                                    {archive->fileName(), entryName, zip_strerror(archive->zip())}));
    source->displayName = i18n::Format(i18n::Translate("kml", "%1（%2）"), {archive->fileName(), entryName});
    source->archiveName = archive->fileName();
    source->entryName = entryName;
    source->limitMB = archive->limits().kmzEntryMB;
    source->archive = archive;
    KmlInput input;
    input.displayName = source->displayName;
    input.source = std::move(source);
    input.entryName = std::move(entryName);
    input.archive = std::move(archive);
    return input;
}

KmlInput OpenKmz(const std::filesystem::path& path, const std::string& fileName, const KmlReadLimits& limits)
{
    int errorCode = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &errorCode);
    if (zip == nullptr)
        throw KmlError(i18n::Format(i18n::Translate("kml", "无法打开KMZ文件 %1：%2"),
                                    {fileName, ZipOpenReason(errorCode)}));
    auto archive = std::make_shared<KmzArchive>(zip, fileName, limits);
    const zip_int64_t index = FindMainDocument(zip);
    if (index < 0)
        throw KmlError(i18n::Format(i18n::Translate("kml", "KMZ文件 %1 中没有KML文件"), {fileName}));
    return OpenEntry(std::move(archive), static_cast<zip_uint64_t>(index));
}

bool HasUriScheme(std::string_view path)
{
    // "http:", "file:", and a Windows drive "C:" alike.
    const std::size_t colon = path.find(':');
    return colon != std::string_view::npos && colon > 0 &&
           std::isalpha(static_cast<unsigned char>(path[0])) &&
           path.substr(0, colon).find('/') == std::string_view::npos;
}

int HexDigitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// "%20" and the like decoded; a "%" without two hex digits stays as it is.
std::string PercentDecoded(std::string_view text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// An href as a path from the archive's root, read relative to `folder` ("" or
// "layers/"); empty when it leads outside the archive. A "#feature" or "?query" part
// names no entry and is dropped.
std::string PathInArchive(std::string_view folder, std::string_view href)
{
    std::string path = PercentDecoded(href.substr(0, href.find_first_of("#?")));
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path.front() == '/' || HasUriScheme(path))
        return {};
    path.insert(0, folder);
    std::vector<std::string_view> segments;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = std::string_view(path).substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return {};
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const std::string_view segment : segments)
        resolved.append(resolved.empty() ? "" : "/").append(segment);
    return resolved;
}

bool StartsWithZipSignature(std::FILE* file)
{
    char signature[4] = {};
    const std::size_t count = std::fread(signature, 1, sizeof signature, file);
    std::rewind(file);
    // A local file header, or the end record of an empty archive.
    return count == 4 &&
           (std::memcmp(signature, "PK\x03\x04", 4) == 0 || std::memcmp(signature, "PK\x05\x06", 4) == 0);
}

}  // namespace

KmlInput OpenKmlInput(const std::filesystem::path& path, const KmlReadLimits& limits)
{
    const std::string fileName = path.filename().string();
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw KmlError(i18n::Format(i18n::Translate("kml", "无法打开KML文件 %1：%2"),
                                    {fileName, fileio::DescribeSystemError(EISDIR)}));
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw KmlError(i18n::Format(i18n::Translate("kml", "无法打开KML文件 %1：%2"),
                                    {fileName, fileio::DescribeSystemError(errno)}));
    if (StartsWithZipSignature(file.get()))
        return OpenKmz(path, fileName, limits);
    return {std::make_unique<FileSource>(std::move(file), fileName), fileName, {}, nullptr};
}

std::string LinkedEntry(const KmlInput& from, std::string_view href)
{
    if (!from.archive)
        return {};
    const std::size_t slash = from.entryName.rfind('/');
    const std::string_view folder = slash == std::string::npos
                                        ? std::string_view()
                                        : std::string_view(from.entryName).substr(0, slash + 1);
    const std::string path = PathInArchive(folder, href);
    if (!EndsWithKmlExtension(path))
        return {};
    const zip_int64_t index = from.archive->FindKml(path);
    const char* name =
        index < 0 ? nullptr
                  : zip_get_name(from.archive->zip(), static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
    return name != nullptr ? name : std::string();
}

KmlInput OpenLinkedEntry(const KmlInput& from, const std::string& entryName)
{
    const zip_int64_t index = from.archive ? from.archive->FindKml(entryName) : -1;
    if (index < 0)
        throw KmlError(
            i18n::Format(i18n::Translate("kml", "KMZ文件 %1 中没有 %2"), {from.displayName, entryName}));
    return OpenEntry(from.archive, static_cast<zip_uint64_t>(index));
}

}  // namespace keldarn::kml
