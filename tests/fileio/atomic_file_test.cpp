#include "fileio/atomic_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace keldarn::fileio {
namespace {

class AtomicFile : public ::testing::Test {
protected:
    AtomicFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "keldarn-fileio-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
    }
    ~AtomicFile() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path Path(const std::string& name) const { return folder_ / name; }

    static std::string Read(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Put(const std::filesystem::path& file, const std::string& text)
    {
        std::ofstream(file, std::ios::binary) << text;
    }
    static unsigned Mode(const std::filesystem::path& file)
    {
        struct stat status {};
        ::stat(file.c_str(), &status);
        return status.st_mode & 07777;
    }
    // Only the named files are in the folder: no temporary file was left behind.
    void ExpectOnly(std::vector<std::string> names) const
    {
        std::vector<std::string> present;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            present.push_back(entry.path().filename().string());
        std::sort(present.begin(), present.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(present, names);
    }

    std::filesystem::path folder_;
};

TEST_F(AtomicFile, NewFileGetsItsBytesAndTheUsualPermissions)
{
    const mode_t umask = ::umask(022);
    WriteFileAtomically(Path("new.kml"), std::string("a\r\nb\0c", 6));
    ::umask(umask);
    EXPECT_EQ(Read(Path("new.kml")), std::string("a\r\nb\0c", 6));
    EXPECT_EQ(Mode(Path("new.kml")), 0644u);
    ExpectOnly({"new.kml"});
}

TEST_F(AtomicFile, ReplacedFileKeepsItsPermissionsAndLinks)
{
    Put(Path("old.kml"), "old contents that are longer");
    ::chmod(Path("old.kml").c_str(), 0640);
    std::filesystem::create_symlink("old.kml", Path("link.kml"));
    WriteFileAtomically(Path("link.kml"), "new");
    EXPECT_EQ(Read(Path("old.kml")), "new");
    EXPECT_EQ(Mode(Path("old.kml")), 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link.kml")));
    ExpectOnly({"link.kml", "old.kml"});
}

TEST_F(AtomicFile, FailuresNameTheFileAndTheReason)
{
    Put(Path("plain"), "x");
    const auto messageOf = [](const std::filesystem::path& target) {
        try {
            WriteFileAtomically(target, "data");
        } catch (const FileWriteError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageOf(Path("missing/a.kml")),
              "无法写入文件 " + Path("missing/a.kml").string() + "：文件或文件夹不存在");
    EXPECT_EQ(messageOf(Path("plain/a.kml")),
              "无法写入文件 " + Path("plain/a.kml").string() + "：路径中的一级不是文件夹");
    std::filesystem::create_directory(Path("folder"));
    EXPECT_EQ(messageOf(Path("folder")), "无法写入文件 " + Path("folder").string() + "：这是一个文件夹");
    ExpectOnly({"folder", "plain"});
}

TEST_F(AtomicFile, FailureHalfWayLeavesTheOldFileAndNoTemporary)
{
    Put(Path("survey.kml"), "the old file");
    // A file size limit makes the write fail after its first kilobyte, like a full disk.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string error = "no error";
    try {
        WriteFileAtomically(Path("survey.kml"), std::string(1 << 20, 'n'));
    } catch (const FileWriteError& e) {
        error = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "无法写入文件 " + Path("survey.kml").string() + "：文件超出允许的大小");
    EXPECT_EQ(Read(Path("survey.kml")), "the old file");
    ExpectOnly({"survey.kml"});
}

}  // namespace
}  // namespace keldarn::fileio
