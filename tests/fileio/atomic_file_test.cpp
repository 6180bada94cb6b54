#include "fileio/atomic_file.h"
#include "tests/support/resource_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace keldarn::fileio {
namespace {

using keldarn::testing::FileSizeLimit;

class AtomicFileTest : public ::testing::Test {
protected:
    AtomicFileTest()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "keldarn-fileio-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
    }
    ~AtomicFileTest() override { std::filesystem::remove_all(folder_); }

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

TEST_F(AtomicFileTest, NewFileGetsItsBytesAndTheUsualPermissions)
{
    const mode_t umask = ::umask(022);
    WriteFileAtomically(Path("new.kml"), std::string("a\r\nb\0c", 6));
    ::umask(umask);
    EXPECT_EQ(Read(Path("new.kml")), std::string("a\r\nb\0c", 6));
    EXPECT_EQ(Mode(Path("new.kml")), 0644u);
    ExpectOnly({"new.kml"});
}

TEST_F(AtomicFileTest, ReplacedFileKeepsItsPermissionsAndLinks)
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

TEST_F(AtomicFileTest, FailuresNameTheFileAndTheReason)
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

TEST_F(AtomicFileTest, FailureHalfWayLeavesTheOldFileAndNoTemporary)
{
    Put(Path("survey.kml"), "the old file");
    std::string error = "no error";
    {
        const FileSizeLimit limit(1024);
        try {
            WriteFileAtomically(Path("survey.kml"), std::string(1 << 20, 'n'));
        } catch (const FileWriteError& e) {
            error = e.what();
        }
    }
    EXPECT_EQ(error, "无法写入文件 " + Path("survey.kml").string() + "：文件超出允许的大小");
    EXPECT_EQ(Read(Path("survey.kml")), "the old file");
    ExpectOnly({"survey.kml"});
}

TEST_F(AtomicFileTest, StreamedWriteFailingAtItsFourthPieceKeepsTheOldFile)
{
    Put(Path("points.dat"), "old rows\r\n");
    const std::string piece(64 * 1024, 'p');
    int piecesWritten = 0;
    {
        const FileSizeLimit limit(3 * piece.size() + 100);
        AtomicFile file(Path("points.dat"));
        try {
            for (; piecesWritten < 10; ++piecesWritten)
                file.Write(piece);
        } catch (const FileWriteError&) {
        }
        EXPECT_EQ(piecesWritten, 3);
        // A caller that goes on anyway gets the same error and changes nothing.
        EXPECT_THROW(file.Write("more"), FileWriteError);
        try {
            file.Commit();
            ADD_FAILURE() << "the commit of a failed write succeeded";
        } catch (const FileWriteError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "无法写入文件 " + Path("points.dat").string() + "：文件超出允许的大小");
        }
    }
    EXPECT_EQ(Read(Path("points.dat")), "old rows\r\n");
    ExpectOnly({"points.dat"});
}

TEST_F(AtomicFileTest, WriteAbandonedByItsCallerLeavesTheOldFile)
{
    Put(Path("drawing.dxf"), "old drawing");
    try {
        AtomicFile file(Path("drawing.dxf"));
        file.Write("0\nSECTION\n");
        throw std::runtime_error("the drawing window was closed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Read(Path("drawing.dxf")), "old drawing");
    ExpectOnly({"drawing.dxf"});
}

TEST_F(AtomicFileTest, StreamedPiecesArriveInOrderOnlyAtTheCommit)
{
    Put(Path("points.dat"), "old");
    AtomicFile file(Path("points.dat"));
    file.Write("a,");
    file.Write("");
    file.Write("b\r\n");
    EXPECT_EQ(Read(Path("points.dat")), "old");
    file.Commit();
    EXPECT_EQ(Read(Path("points.dat")), "a,b\r\n");
    ExpectOnly({"points.dat"});
}

TEST_F(AtomicFileTest, FileKeptOpenIsTheNewTargetWithItsLock)
{
    const mode_t umask = ::umask(022);
    FileDescriptor kept;
    {
        AtomicFile file(Path("Keldarn.journal"), 0600);
        ASSERT_EQ(::flock(file.descriptor(), LOCK_EX | LOCK_NB), 0);
        file.Write("snapshot;");
        kept = file.CommitKeepingOpen();
    }
    ::umask(umask);
    ASSERT_TRUE(kept.valid());
    ASSERT_EQ(::write(kept.get(), "record;", 7), 7);
    EXPECT_EQ(Read(Path("Keldarn.journal")), "snapshot;record;");
    EXPECT_EQ(Mode(Path("Keldarn.journal")), 0600u);

    const FileDescriptor other(::open(Path("Keldarn.journal").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_NE(::flock(other.get(), LOCK_EX | LOCK_NB), 0) << "the lock did not move with the file";
    kept.Close();
    EXPECT_EQ(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
    ExpectOnly({"Keldarn.journal"});
}

}  // namespace
}  // namespace keldarn::fileio
