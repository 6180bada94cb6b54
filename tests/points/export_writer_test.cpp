#include "points/export_writer.h"
#include "tests/support/resource_limits.h"

#include "encoding/text_encoding.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/resource.h>

namespace keldarn::points {
namespace {

using keldarn::testing::PeakResidentMB;
using keldarn::testing::FileSizeLimit;

namespace fs = std::filesystem;

const ExportLayout kDefaultLayout{{kNameColumn, kDescriptionColumn, kYColumn, kXColumn, kHColumn}, ","};

void AppendUtf8Row(PointTableModel& table, const std::array<std::string, kColumnCount>& utf8)
{
    RowCells cells;
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells[c] = QString::fromStdString(utf8[c]);
    table.AppendRow(cells);
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh folder for each test, removed afterwards.
class ExportFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "keldarn-export-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::set<std::string> FolderEntries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path folder_;
};

TEST(ExportFieldItems, FirstDigitNamesTheColumn)
{
    EXPECT_EQ(ColumnOfFieldItem("0点名"), 0);
    EXPECT_EQ(ColumnOfFieldItem("1描述"), 1);
    EXPECT_EQ(ColumnOfFieldItem("2X坐标"), 2);
    EXPECT_EQ(ColumnOfFieldItem("3Y坐标"), 3);
    EXPECT_EQ(ColumnOfFieldItem("4高程H"), 4);
    for (const char* item : {"", "5", "X坐标", "点名0", "/", "9"})
        EXPECT_EQ(ColumnOfFieldItem(item), -1) << item;
}

TEST(ExportLines, JoinTrimmedCellsWithTheSeparatorAsGiven)
{
    PointTableModel table;
    AppendUtf8Row(table, {"K1", "校正点", "701.500", "502.250", "85.120"});
    AppendUtf8Row(table, {" \tK2\r ", "", "  1.0", "2.0 \n", ""});
    AppendUtf8Row(table, {"A,B", " 中 间 ", "", "", "7"});

    struct Case {
        ExportLayout layout;
        int row;
        std::string line;
    };
    const std::vector<Case> cases = {
        {kDefaultLayout, 1, "K1,校正点,502.250,701.500,85.120"},
        {{{0, 1, 3, 2, 4}, ""}, 1, "K1校正点502.250701.50085.120"},
        {{{0, 3, 2}, " "}, 1, "K1 502.250 701.500"},
        {{{kHColumn}, ","}, 1, "85.120"},
        {kDefaultLayout, 2, "K2,,2.0,1.0,"},
        {kDefaultLayout, 3, "A,B,中 间,,,7"},
        {{{4, 0, 4}, "；"}, 3, "7；A,B；7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExportLine(table, c.row, c.layout), c.line) << c.line;
}

TEST(SeparatorClashes, FoundWhereALineWouldSplit)
{
    struct Case {
        const char* what;
        std::array<std::string, kColumnCount> row;
        ExportLayout layout;
        std::vector<int> columns;  // clashing columns of the row; none: no clash
    };
    const std::vector<Case> cases = {
        {"none", {"K1", "路,东", "701.500", "502.250", "85.120"}, {{0, 1, 3, 2, 4}, ";"}, {}},
        {"separator in the name", {"N,1", "", "1", "2", "3"}, kDefaultLayout, {0}},
        {"separator in the description", {"N1", "road,east", "1", "2", "3"}, kDefaultLayout, {1}},
        {"both", {"N,1", "road,east", "1", "2", "3"}, kDefaultLayout, {0, 1}},
        {"CR", {"N\r1", "", "1", "2", "3"}, kDefaultLayout, {0}},
        {"LF", {"N1", "two\nlines", "1", "2", "3"}, kDefaultLayout, {1}},
        {"trimmed ends are no clash", {" N1\r\n", "\n", "1", "2", "3"}, {{0, 1, 2}, " "}, {}},
        {"blank inside a name", {"山 顶", "", "1", "2", "3"}, {{0, 4}, " "}, {0}},
        {"two-byte separator", {"甲；乙", "", "1", "2", "3"}, {{0, 1}, "；"}, {0}},
        {"digit separator", {"K1", "", "701.500", "502.250", "85.120"}, {{0, 3, 2, 4}, "5"}, {2, 3, 4}},
        {"full stop separator", {"K1", "", "701.500", "502.250", "85.120"}, {{4}, "."}, {4}},
        {"column not written", {"N,1", "a\nb", "1", "2", "3"}, {{2, 3, 4}, ","}, {}},
        {"empty separator: line breaks only", {"N,1", "a\nb", "1", "2", "3"}, {{0, 1}, ""}, {1}},
    };
    for (const Case& c : cases) {
        PointTableModel table;
        AppendUtf8Row(table, {"K0", "", "1", "2", "3"});
        AppendUtf8Row(table, c.row);
        const std::vector<SeparatorClash> clashes = FindSeparatorClashes(table, c.layout);
        if (c.columns.empty()) {
            EXPECT_TRUE(clashes.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(clashes.size(), 1u) << c.what;
        EXPECT_EQ(clashes[0].gridRow, 2) << c.what;
        EXPECT_EQ(clashes[0].columns, c.columns) << c.what;
    }
}

TEST(SeparatorClashes, ReplacedInsideTheTrimmedTextWithOneCharacter)
{
    struct Case {
        std::string cell, separator, replacement, mended;
    };
    for (const Case& c : std::vector<Case>{{"N,1", ",", "_", "N_1"},
                                           {" a,b,\r\n", ",", "_", " a_b_\r\n"},
                                           {"a\r\nb\nc\rd", ",", "-", "a-b-c-d"},
                                           {"甲；乙", "；", "_", "甲_乙"},
                                           {"山 顶", " ", "中", "山中顶"},
                                           {" \r\n", ",", "_", " \r\n"}})
        EXPECT_EQ(ReplaceSeparatorClashes(c.cell, c.separator, c.replacement), c.mended) << c.cell;

    struct Choice {
        std::string replacement, separator;
        bool accepted;
    };
    for (const Choice& c : std::vector<Choice>{{"_", ",", true},
                                               {" ", ",", true},
                                               {"中", ",", true},
                                               {"😀", ",", true},
                                               {"", ",", false},
                                               {"__", ",", false},
                                               {",", ",", false},
                                               {"；", "；", false},
                                               {"\n", ",", false},
                                               {"\r", ",", false},
                                               {"\t", " ", false}})
        EXPECT_EQ(IsSeparatorReplacement(c.replacement, c.separator), c.accepted)
            << "'" << c.replacement << "' for '" << c.separator << "'";
}

TEST_F(ExportFileTest, WritesGb18030LinesEndedByCrLf)
{
    PointTableModel table;
    AppendUtf8Row(table, {"K1", "校正点", "701.500", "502.250", "85.120"});
    const fs::path target = folder_ / "points.dat";
    ExportPointsFile(table, kDefaultLayout, target, {});
    EXPECT_EQ(ReadBytes(target), "K1,\xD0\xA3\xD5\xFD\xB5\xE3,502.250,701.500,85.120\r\n");

    AppendUtf8Row(table, {"K2", "😀", "1", "2", "3"});
    AppendUtf8Row(table, {"K3", "", "", "", ""});
    ExportPointsFile(table, {{0, 1}, "；"}, target, {});
    EXPECT_EQ(encoding::Gb18030ToUtf8(ReadBytes(target)), "K1；校正点\r\nK2；😀\r\nK3；\r\n");
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"points.dat"});
}

TEST_F(ExportFileTest, LargeTableMatchesItsLinesAcrossChunks)
{
    // About 3 MB: ASCII rows, then rows with Chinese descriptions, so that chunks of both
    // kinds and lines near every chunk boundary are written.
    PointTableModel table;
    std::string expected;
    for (int i = 1; i <= 90000; ++i) {
        const std::string description = i > 40000 && i % 3 == 0 ? "山顶 " + std::to_string(i) : "";
        AppendUtf8Row(table, {std::to_string(i), description, "3682526.192", "458427.379", "85.120"});
        expected += ExportLine(table, i, kDefaultLayout) + "\r\n";
    }
    const fs::path target = folder_ / "large.txt";
    ExportPointsFile(table, kDefaultLayout, target, {});
    EXPECT_EQ(encoding::Gb18030ToUtf8(ReadBytes(target)), expected);
}

TEST_F(ExportFileTest, ReplacesAnExistingFileAndKeepsItsPermissions)
{
    const fs::path target = folder_ / "points.dat";
    WriteBytes(target, std::string(5000, 'x'));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    PointTableModel table;
    AppendUtf8Row(table, {"K1", "", "1", "2", "3"});
    ExportPointsFile(table, kDefaultLayout, target, {});

    EXPECT_EQ(ReadBytes(target), "K1,,2,1,3\r\n");
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"points.dat"});
}

TEST_F(ExportFileTest, FailedExportLeavesTheOldFileAndNoTemporaryFile)
{
    PointTableModel table;
    for (int i = 1; i <= 20000; ++i)
        AppendUtf8Row(table, {"K" + std::to_string(i), "", "3682526.192", "458427.379", "85.120"});
    const fs::path target = folder_ / "points.dat";
    const std::string old = "old content\r\n";
    WriteBytes(target, old);
    fs::create_directory(folder_ / "folder");
    WriteBytes(folder_ / "folder" / "inside", "x");
    WriteBytes(folder_ / "plain", "x");
    const std::set<std::string> entries = FolderEntries();

    const std::vector<fs::path> unwritable = {folder_ / "missing" / "points.dat",
                                              folder_ / "plain" / "points.dat", folder_ / "folder"};
    for (const fs::path& path : unwritable) {
        try {
            ExportPointsFile(table, kDefaultLayout, path, {});
            ADD_FAILURE() << "no error for " << path;
        } catch (const ExportError& error) {
            EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
        }
    }
    {
        const FileSizeLimit limit(64 * 1024);
        EXPECT_THROW(ExportPointsFile(table, kDefaultLayout, target, {}), ExportError);
    }
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(FolderEntries(), entries);
    EXPECT_EQ(ReadBytes(folder_ / "folder" / "inside"), "x");
}

// A million sampled points exported onto a disk that fills up at 16 MB, about a third
// of the file: the user is told why, the export before it is still there byte for byte,
// and the export itself never held more than its chunk.
TEST_F(ExportFileTest, MillionRowsOntoAFullDiskKeepTheOldExportExactly)
{
    PointTableModel table;
    std::vector<std::string> packed;
    packed.reserve(1'000'000);
    for (int i = 1; i <= 1'000'000; ++i) {
        const QString metres = QString::number(3682000 + i % 5000) + QStringLiteral(".123");
        packed.push_back(PackRow({QString::number(i), QStringLiteral("山脊"), metres, metres, "85.120"}));
    }
    table.AppendPackedRows(std::move(packed));
    const fs::path target = folder_ / "points.dat";
    std::string old;
    for (int i = 1; i <= 1000; ++i)
        old += "K" + std::to_string(i) + ",,458427.379,3682526.192,85.120\r\n";
    WriteBytes(target, old);

    int lastPercent = 0;
    std::string message = "no error";
    const double peakBeforeMB = PeakResidentMB();
    {
        const FileSizeLimit limit(16 << 20);
        try {
            ExportPointsFile(table, kDefaultLayout, target, [&](int percent) { lastPercent = percent; });
        } catch (const ExportError& error) {
            message = error.what();
        }
    }
    EXPECT_LT(PeakResidentMB() - peakBeforeMB, 24.0);
    EXPECT_EQ(message, "无法写入文件 " + target.string() + "：文件超出允许的大小");
    EXPECT_GT(lastPercent, 10);
    EXPECT_LT(lastPercent, 90);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"points.dat"});
}

std::vector<int> ProgressOf(int rowCount, const fs::path& target)
{
    PointTableModel table;
    for (int i = 1; i <= rowCount; ++i)
        AppendUtf8Row(table, {std::to_string(i), "", "", "", ""});
    std::vector<int> reported;
    ExportPointsFile(table, {{0}, ","}, target, [&reported](int percent) { reported.push_back(percent); });
    return reported;
}

TEST_F(ExportFileTest, ProgressRisesFromOneToHundred)
{
    const fs::path target = folder_ / "p.dat";
    EXPECT_EQ(ProgressOf(1, target), (std::vector<int>{1, 100}));
    EXPECT_EQ(ProgressOf(3, target), (std::vector<int>{1, 33, 66, 100}));

    const std::vector<int> many = ProgressOf(10000, target);
    ASSERT_FALSE(many.empty());
    EXPECT_EQ(many.front(), 1);
    EXPECT_EQ(many.back(), 100);
    EXPECT_LE(many.size(), 101u);
    for (std::size_t i = 1; i < many.size(); ++i)
        EXPECT_LT(many[i - 1], many[i]) << "at " << i;
}

}  // namespace
}  // namespace keldarn::points
