// Files that are damaged, hostile or huge: each gives a clear message or a correct
// drawing, never a crash or memory without bound.

#include "kml/kml_error.h"
#include "tests/support/resource_limits.h"
#include "cad/kml_to_drawing.h"
#include "encoding/text_encoding.h"
#include "tests/cad/kml_fakes.h"

#include <fstream>
#include <random>

namespace keldarn::cad {
namespace {

using keldarn::testing::PeakResidentMB;

using testing::DrawnEntity;
using testing::FakeModelSpace;
using testing::RecordingSink;
using testing::StringSource;
using testing::TempFolder;
using Kind = DrawnEntity::Kind;

const geodesy::FourParamCoefficients kIdentity{};

std::string Placemark(const std::string& name, const std::string& coordinates)
{
    return "<Placemark><name>" + name + "</name><Point><coordinates>" + coordinates +
           "</coordinates></Point></Placemark>\n";
}

// Drawing a file that must fail: the error, with what was drawn before it.
struct Failure {
    kml::KmlError error{""};
    FakeModelSpace drawn;
};

Failure DrawFailing(const TempFolder& folder, const std::string& bytes)
{
    Failure failure;
    try {
        DrawKmlFile(folder.Write("bad.kml", bytes), 117.0, kIdentity, 3.0, failure.drawn);
        ADD_FAILURE() << "the file was read without error";
    } catch (const kml::KmlError& error) {
        failure.error = error;
    }
    return failure;
}

Failure ScanFailing(std::string bytes)
{
    Failure failure;
    StringSource source(std::move(bytes));
    RecordingSink sink;
    try {
        kml::ScanKml(source, "bad.kml", sink);
        ADD_FAILURE() << "the file was read without error";
    } catch (const kml::KmlError& error) {
        failure.error = error;
    }
    return failure;
}

std::string Message(const Failure& failure)
{
    return failure.error.what();
}

TEST(KmlBadNumbers, StopTheDrawingAtTheirLineAndKeepWhatWasDrawn)
{
    TempFolder folder;
    const Failure failure = DrawFailing(folder, "<kml>\n<Document>\n" + Placemark("A", "116.1,39.9") +
                                                    "<Placemark><LineString><coordinates>\n116.1,39.9\n"
                                                    "116.2,abc\n</coordinates></LineString></Placemark>\n" +
                                                    Placemark("C", "116.3,39.9") + "</Document></kml>");
    EXPECT_STREQ(failure.error.what(), "读取KML文件 bad.kml 第6行出错：'abc' 不是有效的数值");
    EXPECT_EQ(failure.error.line(), 6u);
    ASSERT_EQ(failure.drawn.entities.size(), 2u);  // A's point and text
    EXPECT_EQ(failure.drawn.entities[1].text, "A");
}

TEST(KmlBadNumbers, EveryMalformedTupleNamesItsLine)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"116.1,", "坐标 '116.1,' 缺少纬度"},
        {",39.9,0", "坐标 ',39.9,0' 缺少经度"},
        {"116.1, 39.9", "坐标 '116.1,' 缺少纬度"},  // no blanks inside a tuple
        {"116.1", "'116.1' 不是有效的坐标（应为“经度,纬度”或“经度,纬度,高程”）"},
        {"1e999,2", "'1e999' 不是有效的数值"},
        {"116.1,139.9", "纬度 139.9 超出 -90 到 90 度的范围（经度和纬度是否颠倒？）"},
        {"6.6e55,39.9", "经度 6.6e55 超出 -180 到 180 度的范围"},
        {"-180.5,39.9", "经度 -180.5 超出 -180 到 180 度的范围"},
        {"0x10,2", "'0x10' 不是有效的数值"},
    };
    for (const auto& [tuple, reason] : cases) {
        const Failure failure = ScanFailing("<kml>\n\n" + Placemark("x", tuple) + "</kml>");
        EXPECT_EQ(Message(failure), "读取KML文件 bad.kml 第3行出错：" + reason) << tuple;
    }
    // A gx:Track's positions are "lon lat alt", separated by blanks.
    const std::vector<std::pair<std::string, std::string>> trackCases = {
        {"116.1 abc 0", "'abc' 不是有效的数值"},
        {"116.1,39.9,0", "轨迹坐标 '116.1,39.9,0' 缺少纬度（应为“经度 纬度 高程”）"},
        {"116.1 95 0", "纬度 95 超出 -90 到 90 度的范围（经度和纬度是否颠倒？）"},
    };
    for (const auto& [coord, reason] : trackCases) {
        const Failure failure =
            ScanFailing("<kml xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Placemark>"
                        "<gx:Track><gx:coord>1 2 3</gx:coord>\n<gx:coord>" +
                        coord + "</gx:coord></gx:Track></Placemark></kml>");
        EXPECT_EQ(Message(failure), "读取KML文件 bad.kml 第3行出错：" + reason) << coord;
    }
    // Inside CDATA, and on the line of the end tag.
    EXPECT_EQ(ScanFailing("<kml><Placemark><Point><coordinates><![CDATA[1,2\n\n3,abc]]></coordinates>")
                  .error.line(),
              3u);
    EXPECT_EQ(
        ScanFailing("<kml><Placemark><LineString><coordinates>1,2\n3,4\t5,x</coordinates>").error.line(), 2u);
    const Failure huge =
        ScanFailing("<kml><Placemark><Point><coordinates>" + std::string(100000, '7') + ",1");
    EXPECT_NE(Message(huge).find("过长"), std::string::npos) << Message(huge);
    EXPECT_LT(Message(huge).size(), 300u);  // the token is not copied into the message
}

TEST(KmlMalformedXml, NamesTheLineAndKeepsWhatWasDrawn)
{
    TempFolder folder;
    const Failure failure =
        DrawFailing(folder, "<kml><Document>\n" + Placemark("A", "116.1,39.9") +
                                "<Placemark><name>B</Point></Placemark>\n</Document></kml>");
    EXPECT_EQ(failure.error.line(), 3u);
    EXPECT_EQ(Message(failure), "读取KML文件 bad.kml 第3行出错：结束标记与开始标记不匹配（mismatched tag）");
    EXPECT_EQ(failure.drawn.entities.size(), 2u);
}

TEST(KmlMalformedXml, EmptyTruncatedAndBinaryFilesAreReportedClearly)
{
    EXPECT_EQ(Message(ScanFailing("")), "读取KML文件 bad.kml 出错：文件是空的，或者不是XML文件");
    EXPECT_EQ(Message(ScanFailing("  \n<!-- -->")), "读取KML文件 bad.kml 出错：文件是空的，或者不是XML文件");

    // Cut inside the coordinates of the second placemark: the first is drawn, the cut
    // element is not.
    StringSource truncated("<kml>\n" + Placemark("A", "1,2") + "<Placemark><LineString><coordinates>1,2 3,4");
    RecordingSink sink;
    try {
        kml::ScanKml(truncated, "bad.kml", sink);
        ADD_FAILURE() << "no error";
    } catch (const kml::KmlError& error) {
        EXPECT_STREQ(error.what(), "读取KML文件 bad.kml 第3行出错：文件不完整，在元素结束之前就结束了");
    }
    EXPECT_EQ(sink.elements.size(), 1u);
    EXPECT_EQ(Message(ScanFailing("<kml>\n<Placemark><name")),
              "读取KML文件 bad.kml 第2行出错：文件不完整，在一个标记或字符的中间结束了");

    std::mt19937 random(7);
    std::string binary(100000, '\0');
    for (char& byte : binary)
        byte = static_cast<char>(random());
    for (const std::string& noise : {binary, "PNG\x89\x00\x01" + binary, "<kml>" + binary})
        EXPECT_NE(Message(ScanFailing(noise)).find("读取KML文件 bad.kml 第"), std::string::npos);
}

TEST(KmlMalformedXml, UnboundPrefixAndJunkAreErrors)
{
    EXPECT_EQ(Message(ScanFailing("<kml:kml>\n</kml:kml>")),
              "读取KML文件 bad.kml 第1行出错：使用了未声明的命名空间前缀（unbound prefix）");
    EXPECT_EQ(Message(ScanFailing("<kml></kml>\n<kml/>")),
              "读取KML文件 bad.kml 第2行出错：根元素结束后还有其他内容（junk after document element）");
}

TEST(KmlFiles, MissingFileOrFolderIsReportedWithItsName)
{
    TempFolder folder;
    FakeModelSpace drawn;
    const auto messageOf = [&](const std::filesystem::path& path) {
        try {
            DrawKmlFile(path, 117.0, kIdentity, 3.0, drawn);
        } catch (const kml::KmlError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(messageOf(folder.path() / "none.kml"), "无法打开KML文件 none.kml：文件或文件夹不存在");
    EXPECT_EQ(messageOf(folder.path()),
              "无法打开KML文件 " + folder.path().filename().string() + "：这是一个文件夹");
    EXPECT_EQ(messageOf(folder.Write("broken.kmz", std::string("PK\x03\x04", 4) + "garbage")),
              "无法打开KMZ文件 broken.kmz：不是有效的KMZ（ZIP）压缩文件");
}

TEST(KmlEncodingErrors, NameTheLineOfTheBadBytes)
{
    // Declared GBK, but line 3 holds a byte no GB encoding has.
    EXPECT_EQ(
        Message(ScanFailing("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<kml>\n<name>\x80</name></kml>")),
        "读取KML文件 bad.kml 第3行出错：文字不是有效的GBK编码");
    // Undeclared: UTF-8 names first decide UTF-8; a later GB name cannot then be read.
    const std::string later = "<kml>\n" + Placemark("测量", "1,2") + std::string(300000, ' ') + "\n" +
                              Placemark(encoding::Utf8ToGb18030("测量"), "1,2") + "</kml>";
    const Failure failure = ScanFailing(later);
    EXPECT_EQ(failure.error.line(), 4u) << Message(failure);
    EXPECT_EQ(Message(ScanFailing("<?xml version=\"1.0\" encoding=\"X-NONE\"?><kml/>")),
              "读取KML文件 bad.kml 第1行出错：不支持文件声明的文本编码“X-NONE”");
    // The name in the declaration is bytes of no known encoding: the message stays UTF-8.
    EXPECT_EQ(Message(ScanFailing("<?xml version=\"1.0\" encoding=\"U\xB2\xE2\n\"?><kml/>")),
              "读取KML文件 bad.kml 第1行出错：不支持文件声明的文本编码“U???”");
}

TEST(KmlHostileFiles, DeepNestingIsReadUpToItsLimit)
{
    const auto nested = [](int levels) {
        std::string text = "<kml>";
        for (int i = 0; i < levels; ++i)
            text += "<Folder>";
        text += Placemark("deep", "1,2");
        for (int i = 0; i < levels; ++i)
            text += "</Folder>";
        return text + "</kml>";
    };
    StringSource source(nested(10000));
    RecordingSink sink;
    kml::ScanKml(source, "deep.kml", sink);
    ASSERT_EQ(sink.elements.size(), 1u);
    EXPECT_EQ(sink.elements[0].name, "deep");
    EXPECT_EQ(Message(ScanFailing(nested(100000))), "读取KML文件 bad.kml 第1行出错：元素嵌套超过100000层");
}

TEST(KmlHostileFiles, MegabyteNamesArriveWhole)
{
    TempFolder folder;
    std::string name;
    while (name.size() < (1 << 20))
        name += "测绘abc ";
    name.pop_back();
    FakeModelSpace drawn;
    DrawKmlFile(folder.Write("long.kml", "<kml>" + Placemark(name, "116,39") + "</kml>"), 117.0, kIdentity,
                3.0, drawn);
    EXPECT_EQ(drawn.entities.at(1).text, name);

    // The same name without blanks in undeclared GB18030: no place to cut between
    // characters for a whole megabyte.
    std::string chinese;
    while (chinese.size() < (1 << 20))
        chinese += "测绘";
    StringSource source(encoding::Utf8ToGb18030("<kml>" + Placemark(chinese, "116,39") + "</kml>"));
    RecordingSink sink;
    kml::ScanKml(source, "long.kml", sink);
    EXPECT_EQ(sink.elements.at(0).name, chinese);

    EXPECT_EQ(Message(ScanFailing("<kml>\n<Placemark><name>" + std::string(5 << 20, 'n') +
                                  "</name></Placemark></kml>")),
              "读取KML文件 bad.kml 第2行出错：名称超过4 MB");
}

TEST(KmlHostileFiles, EntityBombIsRefused)
{
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE kml [\n<!ENTITY e0 \"lollollollollollol\">\n";
    for (int i = 1; i <= 9; ++i)
        bomb += "<!ENTITY e" + std::to_string(i) + " \"" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k)
                refs += "&e" + std::to_string(i - 1) + ";";
            return refs;
        }() + "\">\n";
    bomb +=
        "]>\n<kml>" + Placemark("A", "1,2") + "<Placemark><description>&e9;</description></Placemark></kml>";
    const Failure failure = ScanFailing(bomb);
    EXPECT_EQ(failure.error.line(), 15u) << Message(failure);
    EXPECT_NE(Message(failure).find("实体炸弹"), std::string::npos) << Message(failure);
}

// KML made up on the fly: a head, `count` repetitions of `body`, a tail; never stored.
class GeneratedSource : public kml::KmlByteSource {
public:
    GeneratedSource(std::string head, std::string body, std::size_t count, std::string tail)
        : parts_{std::move(head), std::move(body), std::move(tail)}, bodyCount_(count)
    {
    }
    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        std::size_t filled = 0;
        while (filled < capacity && part_ < 3) {
            const std::string& text = parts_[part_];
            const std::size_t count = std::min(capacity - filled, text.size() - offset_);
            std::copy_n(text.data() + offset_, count, buffer + filled);
            filled += count;
            offset_ += count;
            if (offset_ == text.size()) {
                offset_ = 0;
                if (part_ != 1 || ++repeated_ >= bodyCount_)
                    ++part_;
            }
        }
        return filled;
    }

private:
    std::string parts_[3];
    std::size_t bodyCount_;
    std::size_t part_ = 0;
    std::size_t repeated_ = 0;
    std::size_t offset_ = 0;
};

TEST(KmlHostileFiles, OversizedCommentIsRefusedBeforeItIsHeld)
{
    GeneratedSource source("<kml>\n<!--", std::string(1 << 20, 'c'), 40, "--></kml>");
    RecordingSink sink;
    try {
        kml::ScanKml(source, "comment.kml", sink);
        ADD_FAILURE() << "no error";
    } catch (const kml::KmlError& error) {
        EXPECT_STREQ(error.what(), "读取KML文件 comment.kml 第2行出错：一个标记或注释超过16 MB，不是KML文件");
    }
}

class CountingSink : public kml::KmlGeometrySink {
public:
    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string&) override
    {
        ++elements;
        vertices += lonLatDeg.size() / 2;
    }
    std::size_t elements = 0;
    std::size_t vertices = 0;
};

// About 15 s: ctest runs it under the label "long" (tests/cad/kml.cmake).
TEST(KmlHostileFiles, DISABLED_TwoGigabyteFileStreamsInBoundedMemory)
{
    const std::string placemark =
        "<Placemark><name>测量点</name><LineString><coordinates>116.123456789,39.123456789,0 "
        "116.223456789,39.223456789,0 116.323456789,39.323456789,0</coordinates>"
        "</LineString></Placemark>\n";
    const std::size_t count = (std::size_t{2} << 30) / placemark.size() + 1;
    GeneratedSource source("<kml><Document>\n", placemark, count, "</Document></kml>\n");
    CountingSink sink;
    const double peakBeforeMB = PeakResidentMB();
    kml::ScanKml(source, "huge.kml", sink);
    EXPECT_EQ(sink.elements, count);
    EXPECT_EQ(sink.vertices, 3 * count);
    EXPECT_LT(PeakResidentMB() - peakBeforeMB, 50.0);
}

TEST(KmlDrawingErrors, RejectedDrawingCallsPassThroughUnchanged)
{
    TempFolder folder;
    FakeModelSpace drawn;
    drawn.rejectCall = 2;  // the second placemark's point
    try {
        DrawKmlFile(
            folder.Write("a.kml", "<kml>" + Placemark("A", "116,39") + Placemark("B", "116,39") + "</kml>"),
            117.0, kIdentity, 3.0, drawn);
        ADD_FAILURE() << "no error";
    } catch (const AcadError& error) {
        EXPECT_STREQ(error.what(), "图形窗口已关闭");
    }
    EXPECT_EQ(drawn.entities.size(), 2u);
}

}  // namespace
}  // namespace keldarn::cad
