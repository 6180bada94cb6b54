#include "points/import_reader.h"

#include "fileio/line_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdlib.h>

namespace keldarn::points {
namespace {

namespace fs = std::filesystem;

const ExportLayout kDefaultLayout{{kNameColumn, kDescriptionColumn, kYColumn, kXColumn, kHColumn}, ","};

// "校正点" in GB18030 and in UTF-8.
const std::string kGbName = "\xD0\xA3\xD5\xFD\xB5\xE3";
const std::string kUtf8Name = "校正点";

using Utf8Row = std::array<std::string, kColumnCount>;

struct ImportCase {
    const char* label;
    std::string bytes;
    ExportLayout layout;
    std::vector<Utf8Row> rows;  // expected when `error` is empty
    std::string error;          // a part of the message naming the bad lines
};

std::string Repeat(const std::string& line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

std::vector<ImportCase> Cases()
{
    const ExportLayout heightOnly{{kHColumn}, ";"};
    const ExportLayout skipsOne{{kNameColumn, -1, kXColumn}, "\t"};
    // clang-format off
    return {
        {"utf8 lf", "K1," + kUtf8Name + ",502.250,701.500,85.120\nK2,,2,1,3\n", kDefaultLayout,
         {{"K1", kUtf8Name, "701.500", "502.250", "85.120"}, {"K2", "", "1", "2", "3"}}, ""},
        {"utf8 byte-order mark, no line end", "\xEF\xBB\xBFK1," + kUtf8Name + ",2,1,3", kDefaultLayout,
         {{"K1", kUtf8Name, "1", "2", "3"}}, ""},
        {"gb18030 crlf", "K1," + kGbName + ",2,1,3\r\n" + kGbName + "2, x ,5,4,6\r\n", kDefaultLayout,
         {{"K1", kUtf8Name, "1", "2", "3"}, {kUtf8Name + "2", "x", "4", "5", "6"}}, ""},
        // The first non-ASCII line is valid UTF-8, a later one is not: the whole file is GB18030.
        {"gb18030 starting like utf8", "\xC3\xA9,,1,2,3\n" + kGbName + ",,1,2,3\n", kDefaultLayout,
         {{"茅", "", "2", "1", "3"}, {kUtf8Name, "", "2", "1", "3"}}, ""},
        {"cr and blank lines", "\r  \t\rA,,1,2,3\r\r\nB,,4,5,6\r", kDefaultLayout,
         {{"A", "", "2", "1", "3"}, {"B", "", "5", "4", "6"}}, ""},
        {"one column", "5.5\n", heightOnly, {{"", "", "", "", "5.5"}}, ""},
        {"a field naming no column", "P1\tanything\t-7e2\n", skipsOne, {{"P1", "", "-7e2", "", ""}}, ""},
        {"only blank lines", "\r\n \r\n", kDefaultLayout, {}, ""},
        {"bad numbers and field counts", "A,,1,2,3\nB,,x,2,3\n\nC,,1,2\nD,,1,2,3,4\nE,,1,2,\n", kDefaultLayout,
         {}, "第 2、4、5、6 行无法读取"},
        {"bytes invalid in gb18030", "A,,1,2,3\r\n\xFF,,1,2,3\r\n" + kGbName + ",,1,2,3\r\nB,,1,2,3\r\n\x81",
         kDefaultLayout, {}, "第 2、5 行无法读取"},
        {"more than twenty bad lines", "A,,1,2,3\n" + Repeat("bad\n", 25), kDefaultLayout, {},
         "第 2、3、4、5、6、7、8、9、10、11、12、13、14、15、16、17、18、19、20、21 行等 25 行无法读取"},
    };
    // clang-format on
}

class ImportFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "keldarn-import-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path Write(const std::string& bytes) const
    {
        const fs::path path = folder_ / "points.dat";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }

    // The message of the ImportError that reading `path` raises.
    static std::string ErrorOf(const fs::path& path, const ExportLayout& layout)
    {
        try {
            ReadPointsFile(path, layout);
        } catch (const ImportError& error) {
            return error.what();
        }
        return "no error";
    }

    fs::path folder_;
};

// The table's bytes for the expected cells, as the table packs the text of its cells.
std::vector<std::string> PackedRows(const std::vector<Utf8Row>& rows)
{
    std::vector<std::string> packed;
    for (const Utf8Row& row : rows) {
        RowCells cells;
        for (std::size_t c = 0; c < row.size(); ++c)
            cells[c] = QString::fromStdString(row[c]);
        packed.push_back(PackRow(cells));
    }
    return packed;
}

TEST_F(ImportFileTest, ReadsRowsOrListsTheBadLines)
{
    for (const ImportCase& c : Cases()) {
        SCOPED_TRACE(c.label);
        const fs::path path = Write(c.bytes);
        if (c.error.empty()) {
            EXPECT_EQ(ReadPointsFile(path, c.layout), PackedRows(c.rows));
        } else {
            const std::string message = ErrorOf(path, c.layout);
            EXPECT_NE(message.find(path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(c.error), std::string::npos) << message;
        }
    }
}

TEST_F(ImportFileTest, UnreadableFileOrEmptySeparatorIsAnError)
{
    EXPECT_THROW(ReadPointsFile(folder_ / "missing.dat", kDefaultLayout), ImportError);
    EXPECT_THROW(ReadPointsFile(folder_, kDefaultLayout), ImportError);  // a folder
    EXPECT_THROW(ReadPointsFile(Write("A\n"), ExportLayout{{kNameColumn}, ""}), ImportError);
}

// The reader takes 1 MiB blocks: 17-byte lines put a CR at the last byte of the first
// block (2^20 + 1 = 17 × 61681), and the last point's name is longer than a block.
TEST_F(ImportFileTest, LinesAcrossBlocks)
{
    const std::string line = "P" + kGbName + ",,1,2,30\r\n";
    ASSERT_EQ(line.size(), 17u);
    constexpr std::size_t kLines = 61'700;
    // After them the longest line a reader takes: its name fills it to the line bound.
    const std::size_t nameBytes = fileio::kMaxLineBytes - std::string_view(",,1,2,3").size();
    std::string bytes = Repeat(line, kLines) + std::string(nameBytes, 'n') + ",,1,2,3\r\n";
    const fs::path path = Write(bytes);
    const std::vector<std::string> rows = ReadPointsFile(path, kDefaultLayout);
    ASSERT_EQ(rows.size(), kLines + 1);
    for (const std::size_t i : {std::size_t{0}, std::size_t{61'680}, kLines - 1})
        EXPECT_EQ(rows[i], PackedRows({{"P" + kUtf8Name, "", "2", "1", "30"}})[0]);
    EXPECT_EQ(UnpackCellViews(rows.back())[kNameColumn].size(), nameBytes);

    // Every CR LF across a block's end counts as one line end.
    const std::string message = ErrorOf(Write(bytes + "bad\r\n"), kDefaultLayout);
    EXPECT_NE(message.find("第 61702 行无法读取"), std::string::npos) << message;
}

}  // namespace
}  // namespace keldarn::points
