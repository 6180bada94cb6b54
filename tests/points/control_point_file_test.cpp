#include "points/control_point_file.h"

#include "encoding/text_encoding.h"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <stdlib.h>

namespace keldarn::points {
namespace {

namespace fs = std::filesystem;

// A row as one comparable text, exact to the last bit of every number (shortest round trip).
std::string Describe(const ControlPointRow& row)
{
    std::string text = row.name;
    for (const std::array<double, 3>& triple : {row.source, row.target}) {
        for (const double v : triple) {
            char digits[32];
            text += '|';
            text.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
        }
    }
    return text + (row.used ? "|1" : "|0");
}

std::vector<std::string> Describe(const ControlPointList& list)
{
    std::vector<std::string> rows;
    for (const ControlPointRow& row : list.rows)
        rows.push_back(Describe(row));
    return rows;
}

std::string Repeat(const std::string& line, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

TEST(ParseControlPointsTest, ReadsRowsOrListsTheBadLines)
{
    using enum ControlSourceKind;
    const struct {
        const char* label;
        std::string text;
        ControlSourceKind given, kind;
        std::vector<std::string> rows;  // expected when `error` is empty
        std::string error;              // expected within the message
    } cases[] = {
        {"plane, crlf, seven fields",
         "# 源坐标：平面坐标\r\n# 点名,源X\r\n K1 , 3312000.5,452000.25,40,100,200,41\r\n",
         Geographic,
         Plane,
         {"K1|3312000.5|452000.25|40|100|200|41|1"},
         ""},
        {"geographic, tabs, semicolons, eight fields",
         "#源坐标: 经纬度\n\nK1\t30.5\t114.25\t40\t100\t200\t41\t0\rK2;-30.6;-114.3;41;1e2;201;42;Y\n",
         Plane,
         Geographic,
         {"K1|30.5|114.25|40|100|200|41|0", "K2|-30.6|-114.3|41|100|201|42|1"},
         ""},
        {"no kind comment, mixed separators, empty used",
         "# a note\n  \t\nP 1, 1;2\t3,4,5,6,\n",
         Geographic,
         Geographic,
         {"P 1|1|2|3|4|5|6|1"},
         ""},
        {"kind comment after the rows",
         "K1,95,1,2,3,4,5,N\n# 源坐标：平面坐标\n",
         Geographic,
         Plane,
         {"K1|95|1|2|3|4|5|0"},
         ""},
        {"bad lines",
         "K1,1,2,3,4,5,6\nK2,1,2,3\n,1,2,3,4,5,6\nK4,1,x,3,4,5,6\nK5,1,2,3,4,5,6,2\nK6,1,2,3,4,5,\n",
         Plane,
         Plane,
         {},
         "无法读取控制点（粘贴的文字）：第 2、3、4、5、6 行无法读取，没有读入任何控制点。"
         "第 2 行：应有 7 或 8 个字段，实有 4 个"},
        {"latitude out of range",
         "K1,90,180,0,0,0,0\nK2,-90.5,0,0,0,0,0\n",
         Geographic,
         Geographic,
         {},
         "第 2 行无法读取，没有读入任何控制点。第 2 行：纬度 -90.5 超出"},
        {"longitude out of range",
         "# 源坐标：经纬度\nK1,0,180.01,0,0,0,0\n",
         Plane,
         Geographic,
         {},
         "第 2 行：经度 180.01 超出"},
        {"two kinds",
         "# 源坐标：经纬度\n# 源坐标：平面坐标\nK1,1,2,3,4,5,6\n",
         Plane,
         Geographic,
         {},
         "第 2 行：源坐标类型"},
        {"more than twenty bad lines",
         "K1,1,2,3,4,5,6\n" + Repeat("bad\n", 25),
         Plane,
         Plane,
         {},
         "第 2、3、4、5、6、7、8、9、10、11、12、13、14、15、16、17、18、19、20、21 行等 25 行无法读取"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            const ControlPointList list = ParseControlPoints(c.text, c.given, "粘贴的文字");
            EXPECT_TRUE(c.error.empty());
            EXPECT_EQ(list.kind, c.kind);
            EXPECT_EQ(Describe(list), c.rows);
        } catch (const ControlPointFileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
            EXPECT_FALSE(c.error.empty()) << error.what();
        }
    }
}

class ControlPointFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "keldarn-control-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

TEST_F(ControlPointFileTest, ReadsGb18030)
{
    const fs::path path = folder_ / "控制点.txt";
    std::ofstream(path, std::ios::binary)
        << encoding::Utf8ToGb18030("# 源坐标：经纬度\r\n校正点,30,114,1,2,3,4\r\n");
    const ControlPointList list = ReadControlPointFile(path);
    EXPECT_EQ(list.kind, ControlSourceKind::Geographic);
    EXPECT_EQ(Describe(list), std::vector<std::string>{"校正点|30|114|1|2|3|4|1"});
}

TEST_F(ControlPointFileTest, WritingAndReadingBackKeepsEveryBit)
{
    for (const ControlSourceKind kind : {ControlSourceKind::Plane, ControlSourceKind::Geographic}) {
        const ControlPointList written{
            kind,
            {{"A,B;C\tD",
              {31.123456789012345, 114.98765432109876, 0.1 + 0.2},
              {3312345.6789012345, 1e-5, -0.0},
              true},
             {"#1", {-1.0 / 3, 2.0 / 3, 1e300}, {5e-324, -7, 123456789.125}, false}}};
        const fs::path path = folder_ / "out.txt";
        WriteControlPointFile(path, written);
        const ControlPointList read = ReadControlPointFile(path);
        EXPECT_EQ(read.kind, kind);
        ASSERT_EQ(read.rows.size(), 2u);
        EXPECT_EQ(read.rows[0].name, "A B C D");
        EXPECT_EQ(read.rows[1].name, "＃1");
        for (std::size_t i = 0; i < 2; ++i) {
            ControlPointRow expected = written.rows[i];
            expected.name = read.rows[i].name;
            EXPECT_EQ(Describe(read.rows[i]), Describe(expected));
        }
    }
}

TEST_F(ControlPointFileTest, UnreadableOrUnwritablePathsAreNamed)
{
    const auto messageOf = [](auto call) {
        try {
            call();
        } catch (const ControlPointFileError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    const fs::path missing = folder_ / "missing" / "points.txt";
    for (const fs::path& path : {missing, folder_}) {
        EXPECT_NE(messageOf([&] { ReadControlPointFile(path); }).find(path.string()), std::string::npos);
        EXPECT_NE(messageOf([&] { WriteControlPointFile(path, {}); }).find(path.string()), std::string::npos);
    }
}

}  // namespace
}  // namespace keldarn::points
