#include "encoding/text_encoding.h"

#include <gtest/gtest.h>

namespace keldarn::encoding {
namespace {

TEST(TextEncoding, Gb18030KeepsGbkBytesAndEveryOtherCharacter)
{
    // 校正点 in GBK is CE A3 D5 FD B5 E3; GB18030 writes the same bytes.
    EXPECT_EQ(Utf8ToGb18030("K1,校正点"), "K1,\xD0\xA3\xD5\xFD\xB5\xE3");
    // Characters outside GBK (an emoji, a rare CJK extension B character) survive the round trip.
    for (const std::string text : {"😀 测量", "𠀀", "ASCII only", ""})
        EXPECT_EQ(Gb18030ToUtf8(Utf8ToGb18030(text)), text) << text;
}

TEST(TextEncoding, RecognisesValidUtf8)
{
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("校正点"));
    EXPECT_FALSE(IsValidUtf8("\xD0\xA3\xD5\xFD"));   // GBK bytes
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));           // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));       // UTF-16 surrogate
    EXPECT_FALSE(IsValidUtf8("\xE6\xB5"));           // cut short
}

TEST(TextEncoding, FileTextFallsBackToGb18030)
{
    EXPECT_EQ(FileTextToUtf8("\xEF\xBB\xBF" "abc"), "abc");
    EXPECT_EQ(FileTextToUtf8("校正点"), "校正点");
    EXPECT_EQ(FileTextToUtf8("\xD0\xA3\xD5\xFD\xB5\xE3"), "校正点");
}

TEST(TextEncoding, ReportsBadInput)
{
    EXPECT_THROW(Convert("\xFF\xFF", "UTF-8", "GB18030"), EncodingError);
    EXPECT_THROW(Convert("x", "NO-SUCH-ENCODING", "UTF-8"), EncodingError);
}

TEST(TextEncoding, StreamConverterServesManyPieces)
{
    StreamConverter toGb("UTF-8", "GB18030");
    std::string out = "K1,";
    toGb.ConvertAppend("校正点", out);
    toGb.ConvertAppend(",😀", out);
    EXPECT_EQ(out, "K1,\xD0\xA3\xD5\xFD\xB5\xE3," + Utf8ToGb18030("😀"));
    // A piece cut inside a character fails; the converter is still usable afterwards.
    EXPECT_THROW(toGb.Convert(std::string_view("点").substr(0, 2)), EncodingError);
    EXPECT_EQ(toGb.Convert("点"), "\xB5\xE3");
    EXPECT_EQ(toGb.Convert(""), "");
}

}  // namespace
}  // namespace keldarn::encoding
