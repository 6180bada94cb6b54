// The point-file reader and writer on their own, for what the import, export and keldarn-cli
// tests do not reach: an encoding given by the caller, the encoding asked for before any line
// is read, lines that do not decode, and the writer's count and checksum of its bytes.

#include "points/point_file_reader.h"
#include "points/point_file_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::points {
namespace {

namespace fs = std::filesystem;
using encoding::TextEncoding;

// "校正点" in GB18030.
const std::string kGbName = "\xD0\xA3\xD5\xFD\xB5\xE3";
// A line that does not decode.
const std::string kUndecodable = "?";

class PointFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("keldarn_point_file_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path Write(const std::string& bytes) const
    {
        const fs::path path = folder_ / "points.dat";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    std::string Read(const fs::path& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path folder_;
};

// Every line of the file as the reader gives it; the encoding asked for before the first
// line when `askFirst`, after the last otherwise.
std::vector<std::string> ReadLines(const fs::path& path, std::optional<TextEncoding> given, bool askFirst,
                                   TextEncoding& encoding)
{
    PointFileReader reader(path, given);
    if (askFirst)
        encoding = reader.Encoding();
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next()) {
        EXPECT_EQ(reader.Number(), static_cast<std::int64_t>(lines.size()) + 1);
        lines.emplace_back(reader.Text(line) ? std::string(line) : kUndecodable);
    }
    if (!askFirst)
        encoding = reader.Encoding();
    return lines;
}

TEST_F(PointFileTest, ReaderDecodesEachLineInTheFilesEncoding)
{
    const struct {
        const char* label;
        std::string bytes;
        std::optional<TextEncoding> given;
        TextEncoding encoding;  // given or detected
        std::vector<std::string> lines;
    } cases[] = {
        // clang-format off
        {"ascii only", "A,1\r\n\r\nB,2", std::nullopt, TextEncoding::kUtf8, {"A,1", "", "B,2"}},
        {"utf-8, byte-order mark, lone CR", "\xEF\xBB\xBF校正点\r2\n", std::nullopt, TextEncoding::kUtf8,
         {"校正点", "2"}},
        {"gb18030 with a bad byte", "A\r\n" + kGbName + "\r\n\xFF\r\n", std::nullopt, TextEncoding::kGb18030,
         {"A", "校正点", kUndecodable}},
        // A line of valid UTF-8 before one that is not: the whole file is GB18030.
        {"utf-8 line before a gb18030 line", "x\n\xC3\xA9\n" + kGbName, std::nullopt, TextEncoding::kGb18030,
         {"x", "茅", "校正点"}},
        {"utf-8 given", "\xEF\xBB\xBF" "a\n" + kGbName + "\n", TextEncoding::kUtf8, TextEncoding::kUtf8,
         {"a", kUndecodable}},
        // Valid UTF-8 read as the GB18030 given.
        {"gb18030 given", "é\r\n\x81", TextEncoding::kGb18030, TextEncoding::kGb18030,
         {"茅", kUndecodable}},
        // clang-format on
    };
    for (const auto& c : cases) {
        const fs::path path = Write(c.bytes);
        for (const bool askFirst : {true, false}) {
            SCOPED_TRACE(std::string(c.label) + (askFirst ? ", encoding asked first" : ""));
            TextEncoding encoding{};
            EXPECT_EQ(ReadLines(path, c.given, askFirst, encoding), c.lines);
            EXPECT_EQ(encoding, c.encoding);
        }
    }
}

// Pieces of every size in order, a piece above the writer's 1 MiB directly after gathered lines
// and directly after another; the bytes reported are the file's, and so is the checksum.
TEST_F(PointFileTest, WriterWritesEveryPieceInOrderAndCountsTheFilesBytes)
{
    const std::string large = std::string(1'500'000, '1') + "\r\n";
    const std::vector<std::string> pieces = {"校正点,1\r\n", large, large, "K2,,2,1,3\r\n"};
    std::string utf8;
    for (const std::string& piece : pieces)
        utf8 += piece;
    for (const TextEncoding encoding : {TextEncoding::kUtf8, TextEncoding::kGb18030}) {
        SCOPED_TRACE(encoding == TextEncoding::kUtf8 ? "utf-8" : "gb18030");
        const fs::path target = folder_ / "out.dat";
        PointFileWriter writer(target, encoding, true);
        for (const std::string& piece : pieces)
            writer.Write(piece);
        writer.Commit();
        const std::string bytes = Read(target);
        EXPECT_EQ(bytes, encoding == TextEncoding::kUtf8 ? utf8 : encoding::Utf8ToGb18030(utf8));
        Fnv1a64 checksum;
        checksum.Add(bytes);
        EXPECT_EQ(writer.bytes(), bytes.size());
        EXPECT_EQ(writer.checksum(), checksum.value());
    }
}

}  // namespace
}  // namespace keldarn::points
