#include "cad/kml_input.h"

#include "cad/kml_error.h"
#include "fileio/file_error.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <strings.h>

namespace keldarn::cad {
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
    return "读取KML文件 " + displayName + " 出错：" + reason;
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

class ZipEntrySource : public KmlByteSource {
public:
    // Declared in this order so that the entry is closed before its archive.
    std::unique_ptr<zip_t, ZipArchiveCloser> archive;
    std::unique_ptr<zip_file_t, ZipEntryCloser> entry;
    std::string displayName;

    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        const zip_int64_t count = zip_fread(entry.get(), buffer, capacity);
        if (count < 0)  // a damaged archive: bad compressed data or checksum
            throw KmlError(ReadFailure(displayName, std::string("压缩数据已损坏（") +
                                                        zip_file_strerror(entry.get()) + "）"));
        return static_cast<std::size_t>(count);
    }
};

bool EndsWithKmlExtension(std::string_view name)
{
    if (name.size() < 4)
        return false;
    std::string extension(name.substr(name.size() - 4));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return extension == ".kml";
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
        return "不是有效的KMZ（ZIP）压缩文件";
    case ZIP_ER_INCONS:
        return "压缩文件已损坏或不完整";
    default: {
        zip_error_t error;
        zip_error_init_with_code(&error, zipErrorCode);
        std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        return reason;
    }
    }
}

KmlInput OpenKmz(const std::filesystem::path& path, const std::string& fileName)
{
    auto source = std::make_unique<ZipEntrySource>();
    int errorCode = 0;
    source->archive.reset(zip_open(path.c_str(), ZIP_RDONLY, &errorCode));
    if (!source->archive)
        throw KmlError("无法打开KMZ文件 " + fileName + "：" + ZipOpenReason(errorCode));
    const zip_int64_t index = FindMainDocument(source->archive.get());
    if (index < 0)
        throw KmlError("KMZ文件 " + fileName + " 中没有KML文件");
    const auto entryIndex = static_cast<zip_uint64_t>(index);
    source->entry.reset(zip_fopen_index(source->archive.get(), entryIndex, 0));
    const char* name = zip_get_name(source->archive.get(), entryIndex, ZIP_FL_ENC_GUESS);
    const std::string entryName = name != nullptr ? name : "doc.kml";
    if (!source->entry)
        throw KmlError("无法读取KMZ文件 " + fileName + " 中的 " + entryName + "：" +
                       zip_strerror(source->archive.get()));
    source->displayName = fileName + "（" + entryName + "）";
    std::string displayName = source->displayName;
    return {std::move(source), std::move(displayName)};
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

KmlInput OpenKmlInput(const std::filesystem::path& path)
{
    const std::string fileName = path.filename().string();
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw KmlError("无法打开KML文件 " + fileName + "：" + fileio::DescribeSystemError(EISDIR));
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw KmlError("无法打开KML文件 " + fileName + "：" + fileio::DescribeSystemError(errno));
    if (StartsWithZipSignature(file.get()))
        return OpenKmz(path, fileName);
    return {std::make_unique<FileSource>(std::move(file), fileName), fileName};
}

}  // namespace keldarn::cad
