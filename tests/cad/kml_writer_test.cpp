#include "cad/kml_writer.h"
#include "fileio/atomic_file.h"
#include "tests/cad/kml_fakes.h"

#include <expat.h>

#include <limits>
#include <regex>

namespace keldarn::cad {
namespace {

using testing::FakeEntity;
using testing::FakeSelectionSet;
using testing::TempFolder;

constexpr double kCentralMeridianDeg = 117.0;
const geodesy::FourParamCoefficients kIdentity{};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the last line is not ended by CR LF";
    return lines;
}

std::vector<std::string> Build(std::vector<FakeEntity> entities, std::string_view documentName = "CoordInfo")
{
    const FakeSelectionSet selection(std::move(entities));
    return Lines(BuildKmlDocument(selection, kCentralMeridianDeg, kIdentity, documentName).text);
}

// The lines between the first `start` line at or after `from` and its `end` line.
std::vector<std::string> Between(const std::vector<std::string>& lines, const std::string& start,
                                 const std::string& end, std::size_t from = 0)
{
    const auto first = std::find(lines.begin() + static_cast<long>(from), lines.end(), start);
    const auto last = std::find(first, lines.end(), end);
    if (first == lines.end() || last == lines.end())
        return {};
    return {first + 1, last};
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, std::size_t from = 0)
{
    return static_cast<std::size_t>(std::find(lines.begin() + static_cast<long>(from), lines.end(), line) -
                                    lines.begin());
}

bool IsWellFormedXml(const std::string& text)
{
    XML_Parser parser = XML_ParserCreate(nullptr);
    const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

FakeEntity Square(double x, double y, double side, bool closed)
{
    return FakeEntity::Polyline({x, y, x + side, y, x + side, y + side, x, y + side}, closed);
}

TEST(KmlWriter, OneTextGivesTheDocumentLineByLine)
{
    const std::vector<std::string> lines = Build({FakeEntity::Text("A", 500000.0, 3000000.0)});
    const std::string any = "*";
    const std::vector<std::string> lookAt = {
        "<LookAt>",       any, any,        "<altitude>0</altitude>", "<heading>0</heading>",
        "<tilt>0</tilt>", any, "</LookAt>"};
    std::vector<std::string> expected = {R"(<?xml version="1.0" encoding="UTF-8"?>)",
                                         R"(<kml xmlns="http://www.opengis.net/kml/2.2">)", "<Document>",
                                         "<name>CoordInfo</name>", "<open>1</open>"};
    expected.insert(expected.end(), lookAt.begin(), lookAt.end());
    for (const char* line : {R"(<Style id="CoordInfo">)",
                             "<LineStyle>",
                             "<color>FF0000FF</color>",
                             "<width>2</width>",
                             "</LineStyle>",
                             "<PolyStyle>",
                             "<fill>0</fill>",
                             "</PolyStyle>",
                             "</Style>",
                             R"(<StyleMap id="CoordInfo0">)",
                             "<Pair>",
                             "<key>normal</key>",
                             "<styleUrl>#CoordInfo</styleUrl>",
                             "</Pair>",
                             "<Pair>",
                             "<key>highlight</key>",
                             "<styleUrl>#CoordInfo</styleUrl>",
                             "</Pair>",
                             "</StyleMap>",
                             "<Placemark>",
                             "<name>A</name>"})
        expected.push_back(line);
    expected.insert(expected.end(), lookAt.begin(), lookAt.end());
    for (const char* line : {"<styleUrl>#CoordInfo0</styleUrl>", "<Point>", "<coordinates>", "*",
                             "</coordinates>", "</Point>", "</Placemark>", "</Document>", "</kml>"})
        expected.push_back(line);

    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (expected[i] != any) {
            EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
        }
    }
    // On the central meridian, 3000 km north of the equator; 14 decimals, altitude 0.
    EXPECT_TRUE(std::regex_match(lines[IndexOf(lines, "<coordinates>") + 1],
                                 std::regex(R"(117\.00000000000000,27\.\d{14},0)")))
        << lines[IndexOf(lines, "<coordinates>") + 1];
    // The view is centred on the text's box, 0.8 m east of the insertion point: about
    // 8.06e-6 degrees of longitude at 27° north.
    ASSERT_TRUE(lines[6].starts_with("<longitude>117.00000")) << lines[6];
    EXPECT_NEAR(std::stod(lines[6].substr(11)) - 117.0, 0.8 / (111320.0 * std::cos(27.1 * M_PI / 180.0)),
                2e-8);
}

TEST(KmlWriter, ClosedPolylinesArePolygonRingsAndOpenOnesLineStrings)
{
    FakeEntity drawnClosed = FakeEntity::Polyline(
        {500000, 3000000, 500100, 3000000, 500100, 3000100, 500000, 3000100, 500000, 3000000}, false);
    const std::vector<std::string> lines =
        Build({Square(500000, 3000000, 100, true), Square(500000, 3000000, 100, false), drawnClosed});

    const std::vector<std::string> ring = Between(lines, "<coordinates>", "</coordinates>");
    ASSERT_EQ(ring.size(), 5u);
    EXPECT_EQ(ring.front(), ring.back());
    EXPECT_EQ(Between(lines, "<Polygon>", "</Polygon>"),
              (std::vector<std::string>{"<tessellate>1</tessellate>", "<outerBoundaryIs>", "<LinearRing>",
                                        "<coordinates>", ring[0], ring[1], ring[2], ring[3], ring[4],
                                        "</coordinates>", "</LinearRing>", "</outerBoundaryIs>"}));

    const std::size_t open = IndexOf(lines, "<LineString>");
    EXPECT_EQ(Between(lines, "<LineString>", "</LineString>", open),
              (std::vector<std::string>{"<tessellate>1</tessellate>", "<coordinates>", ring[0], ring[1],
                                        ring[2], ring[3], "</coordinates>"}));
    // Closed by its vertices but not by its flag: still a line string.
    const std::size_t third = IndexOf(lines, "<LineString>", open + 1);
    EXPECT_EQ(Between(lines, "<coordinates>", "</coordinates>", third).size(), 5u);
    EXPECT_EQ(IndexOf(lines, "<Polygon>", IndexOf(lines, "<Polygon>") + 1), lines.size());
}

TEST(KmlWriter, RegionsAndLinesAreCountedSeparatelyInSelectionOrder)
{
    const std::vector<std::string> lines =
        Build({FakeEntity::Text("T1", 500000, 3000000), Square(500000, 3000000, 10, true),
               Square(500000, 3000000, 10, false), Square(500000, 3000000, 10, true),
               FakeEntity::Polyline({}, true), FakeEntity::Text("T2", 500000, 3000000),
               Square(500000, 3000000, 10, false), Square(500000, 3000000, 10, true)});
    std::vector<std::string> names;
    for (std::size_t i = IndexOf(lines, "<Placemark>"); i < lines.size(); ++i)
        if (lines[i].starts_with("<name>"))
            names.push_back(lines[i]);
    // The polyline without vertices is left out, but it was counted.
    EXPECT_EQ(names,
              (std::vector<std::string>{"<name>T1</name>", "<name>Region1</name>", "<name>Line1</name>",
                                        "<name>Region2</name>", "<name>T2</name>", "<name>Line2</name>",
                                        "<name>Region4</name>"}));
}

TEST(KmlWriter, ViewsFrameTheirBoxesAndTheDocumentFramesAll)
{
    // A 300 × 400 box has a 500 diagonal: range 750.
    const std::vector<std::string> single =
        Build({FakeEntity::Polyline({500000, 3000000, 500300, 3000400}, false)});
    const std::vector<std::string> documentView = Between(single, "<LookAt>", "</LookAt>");
    const std::vector<std::string> placemarkView =
        Between(single, "<LookAt>", "</LookAt>", IndexOf(single, "<Placemark>"));
    EXPECT_EQ(documentView, placemarkView);
    EXPECT_EQ(documentView.at(5), "<range>750</range>");

    // Two boxes: the document's view frames both, centred where a text at the centre of
    // both lies.
    const std::vector<std::string> lines =
        Build({FakeEntity::Polyline({500000, 3000000, 500300, 3000400}, false),
               FakeEntity::Polyline({499000, 2999000, 499100, 2999100}, false),
               FakeEntity::Text("centre", 499650, 2999700, 0.0)});
    const std::vector<std::string> view = Between(lines, "<LookAt>", "</LookAt>");
    EXPECT_EQ(view.at(5), "<range>" + FormatGeneralNumber(1.5 * std::hypot(1300.0, 1400.0)) + "</range>");
    const std::string centre =
        Between(lines, "<coordinates>", "</coordinates>", IndexOf(lines, "<Point>")).at(0);
    const std::string longitude = view.at(0).substr(11, view.at(0).size() - 23);
    const std::string latitude = view.at(1).substr(10, view.at(1).size() - 21);
    EXPECT_NEAR(std::stod(longitude), std::stod(centre), 1e-12);
    EXPECT_NEAR(std::stod(latitude), std::stod(centre.substr(centre.find(',') + 1)), 1e-12);
}

TEST(KmlWriter, ZoneNumberInTheEastingIsDropped)
{
    const auto coordinateOf = [](double easting) {
        const std::vector<std::string> lines = Build({FakeEntity::Text("P", easting, 3500000.5)});
        return lines.at(IndexOf(lines, "<coordinates>") + 1);
    };
    EXPECT_EQ(coordinateOf(39500123.25), coordinateOf(500123.25));
}

TEST(KmlWriter, NamesAreEscapedAndTheFileStaysWellFormedUtf8)
{
    const FakeSelectionSet selection({FakeEntity::Text("A&B <C>", 500000, 3000000),
                                      FakeEntity::Text("测量点 ]]>", 500000, 3000000),
                                      FakeEntity::Text("x\x01y\xFF", 500000, 3000000)});
    const KmlDocument document = BuildKmlDocument(selection, kCentralMeridianDeg, kIdentity, "R&D 测区");
    const std::vector<std::string> lines = Lines(document.text);
    EXPECT_EQ(lines.at(3), "<name>R&amp;D 测区</name>");
    std::vector<std::string> names;
    for (const std::string& line : lines)
        if (line.starts_with("<name>"))
            names.push_back(line);
    EXPECT_EQ(names, (std::vector<std::string>{"<name>R&amp;D 测区</name>", "<name>A&amp;B &lt;C&gt;</name>",
                                               "<name>测量点 ]]&gt;</name>", "<name>xy\xEF\xBF\xBD</name>"}));
    EXPECT_TRUE(IsWellFormedXml(document.text));
    EXPECT_EQ(document.placemarks, 3u);
    for (const std::string& line : lines)
        EXPECT_FALSE(line.starts_with(" ") || line.starts_with("\t")) << line;
}

TEST(KmlWriter, GeneralNumbersHaveFifteenDigitsAndNoExponent)
{
    const std::vector<std::pair<double, std::string>> cases = {
        {0.0, "0"},
        {-0.0, "0"},
        {116.5, "116.5"},
        {-0.25, "-0.25"},
        {0.1 + 0.2, "0.3"},
        {116.123456789012345, "116.123456789012"},
        {33.26770000000001, "33.2677"},
        {1234567.891, "1234567.891"},
        {999999999999999.9, "1000000000000000"},
        {1e20, "100000000000000000000"},
        {1.5e-7, "0.00000015"},
        {-2.5e-5, "-0.000025"},
        {1e-16, "0"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FormatGeneralNumber(value), text) << value;
}

TEST(KmlWriter, OneVertexPolylineIsWrittenAsAPoint)
{
    const std::vector<std::string> lines = Build({FakeEntity::Polyline({500000, 3000000}, true)});
    EXPECT_LT(IndexOf(lines, "<Point>"), lines.size());
    EXPECT_EQ(IndexOf(lines, "<Polygon>"), lines.size());
    EXPECT_LT(IndexOf(lines, "<name>Region1</name>"), lines.size());
}

std::string BuildError(std::vector<FakeEntity> entities)
{
    const FakeSelectionSet selection(std::move(entities));
    try {
        BuildKmlDocument(selection, kCentralMeridianDeg, kIdentity, "x");
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no error";
}

TEST(KmlWriter, UnreadableEntitiesAndNothingToWriteAreReportedClearly)
{
    FakeEntity noBox = Square(500000, 3000000, 10, true);
    noBox.boxFails = true;
    EXPECT_EQ(BuildError({FakeEntity::Text("ok", 500000, 3000000), noBox}),
              "第2个选中的图元无法读取：图元的范围无法计算");
    EXPECT_EQ(BuildError({FakeEntity::Polyline({}, false)}), "选中的图元中没有可以写入KML的文字或多段线");
    EXPECT_EQ(BuildError({FakeEntity::Text("far", 5e9, 3000000), FakeEntity::Polyline({}, false),
                          FakeEntity::Text("far", 500000, 2.5e7)}),
              "选中的图元中没有可以写入KML的文字或多段线：有2个对象的坐标远在投影带之外"
              "（超出±1e9或纬度超过90°），请检查中央子午线和四参数");
}

// One entity far outside the zone costs only itself its place in the file.
TEST(KmlWriter, EntitiesFarOutsideTheZoneAreLeftOutAndCounted)
{
    FakeEntity farBox = FakeEntity::Text("box", 500000, 3000000);
    farBox.upperRight.y = -2e9;
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<std::string, FakeEntity>> cases = {
        {"text at x = 5e9", FakeEntity::Text("far", 5e9, 3000000)},
        {"text with NaN", FakeEntity::Text("nan", std::nan(""), 3000000)},
        {"vertex beyond the pole", FakeEntity::Polyline({500000, 3000000, 500000, 2.5e7}, false)},
        {"infinite vertex", FakeEntity::Polyline({500000, 3000000, 500100, 3000000, -inf, 3000000}, true)},
        {"box beyond 1e9", farBox},
        // Its point lies at B = 89.9°, the centre of its 320 km by 100 km box past the pole.
        {"view centre past the pole", FakeEntity::Text("pole", 500000, 9.99e6, 1e5)},
    };
    TempFolder folder;
    const std::filesystem::path target = folder.path() / "a.kml";
    for (const auto& [what, far] : cases) {
        const FakeSelectionSet selection(
            {FakeEntity::Text("A", 500000, 3000000), far, Square(500000, 3000000, 10, false)});
        const KmlWriteResult result =
            WriteKmlFromSelection(selection, kCentralMeridianDeg, kIdentity, target);
        EXPECT_EQ(result.written, 2u) << what;
        EXPECT_EQ(result.leftOut, 1u) << what;
        const std::string text = testing::ReadWholeFile(target);
        EXPECT_TRUE(IsWellFormedXml(text)) << what;
        const std::vector<std::string> lines = Lines(text);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "<Placemark>"), 2) << what;
        EXPECT_LT(IndexOf(lines, "<name>A</name>"), lines.size()) << what;
    }
}

TEST(KmlWriter, EmptySelectionWritesNothing)
{
    TempFolder folder;
    const std::filesystem::path target = folder.Write("old.kml", "old");
    EXPECT_EQ(WriteKmlFromSelection(FakeSelectionSet(), kCentralMeridianDeg, kIdentity, target).written, 0u);
    EXPECT_EQ(testing::ReadWholeFile(target), "old");
}

TEST(KmlWriter, FileIsNamedDocumentAndAFailedWriteKeepsTheOldFile)
{
    TempFolder folder;
    const FakeSelectionSet selection({FakeEntity::Text("A", 500000, 3000000)});
    const std::filesystem::path target = folder.path() / "测区 A&B.KML";
    EXPECT_EQ(WriteKmlFromSelection(selection, kCentralMeridianDeg, kIdentity, target).written, 1u);
    EXPECT_EQ(Lines(testing::ReadWholeFile(target)).at(3), "<name>测区 A&amp;B</name>");

    const std::filesystem::path blocked = folder.Write("file", "x") / "a.kml";
    EXPECT_THROW(WriteKmlFromSelection(selection, kCentralMeridianDeg, kIdentity, blocked),
                 fileio::FileWriteError);
}

}  // namespace
}  // namespace keldarn::cad
