// KML drawn into the drawing and written back, and the written files read by programs
// other than ours.

#include "kml/kml_error.h"
#include "cad/kml_to_drawing.h"
#include "cad/kml_writer.h"
#include "tests/cad/kml_fakes.h"

#include <string>
#include <tuple>

namespace keldarn::cad {
namespace {

using testing::DrawnEntity;
using testing::FakeEntity;
using testing::FakeModelSpace;
using testing::FakeSelectionSet;
using testing::RecordingSink;
using testing::ScannedElement;
using testing::TempFolder;

constexpr double kCentralMeridianDeg = 117.0;
// A transformation that turns and scales noticeably, so that the reverse must be exact.
const geodesy::FourParamCoefficients kTransform =
    geodesy::MakeFourParamCoefficients({123.4, -56.7, 10.0, 1e-5, 0.0});

const char* const kSurveyKml = R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document><name>测区</name>
<Placemark><name>K1</name><Point><coordinates>116.123456789,39.987654321,45.6</coordinates></Point></Placemark>
<Placemark><name>界桩 A&amp;B</name><Point><coordinates>118.4,22.05</coordinates></Point></Placemark>
<Placemark><name>road</name><LineString><coordinates>
  116.5,40.1,0 116.51,40.11,0 116.525,40.105,0
</coordinates></LineString></Placemark>
<Placemark><name>field</name><Polygon><outerBoundaryIs><LinearRing><coordinates>
  117.9,30.1 117.95,30.1 117.95,30.15 117.9,30.1
</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>
</Document></kml>
)";

std::vector<ScannedElement> ScanFile(const std::filesystem::path& file)
{
    kml::KmlInput input = kml::OpenKmlInput(file);
    RecordingSink sink;
    kml::ScanKml(*input.source, input.displayName, sink);
    return sink.elements;
}

// The file as scanned again after drawing and writing: the same elements, each vertex
// within 1e-9° (0.1 mm).
void ExpectSameCoordinates(const std::vector<ScannedElement>& before,
                           const std::vector<ScannedElement>& after)
{
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        ASSERT_EQ(after[i].lonLatDeg.size(), before[i].lonLatDeg.size()) << i;
        for (std::size_t k = 0; k < before[i].lonLatDeg.size(); ++k)
            EXPECT_NEAR(after[i].lonLatDeg[k], before[i].lonLatDeg[k], 1e-9)
                << "element " << i << " value " << k;
    }
}

// What the user would pick in the drawing: texts and polylines (points are not admitted
// by the selection filter).
FakeSelectionSet Pick(const FakeModelSpace& drawn)
{
    FakeSelectionSet selection;
    for (const DrawnEntity& entity : drawn.entities) {
        if (entity.kind == DrawnEntity::Kind::Text)
            selection.entities.push_back(
                FakeEntity::Text(entity.text, entity.at.x, entity.at.y, entity.height));
        else if (entity.kind == DrawnEntity::Kind::Polyline)
            selection.entities.push_back(FakeEntity::Polyline(entity.vertices, false));
    }
    return selection;
}

TEST(KmlRoundTrip, DrawnAndWrittenBackGivesTheSameCoordinates)
{
    TempFolder folder;
    const std::filesystem::path original = folder.Write("survey.kml", kSurveyKml);
    FakeModelSpace drawn;
    DrawKmlFile(original, kCentralMeridianDeg, kTransform, 3.0, drawn);
    const std::filesystem::path written = folder.path() / "back.kml";
    ASSERT_EQ(WriteKmlFromSelection(Pick(drawn), kCentralMeridianDeg, kTransform, written).written, 4u);

    const std::vector<ScannedElement> after = ScanFile(written);
    ExpectSameCoordinates(ScanFile(original), after);
    EXPECT_EQ(after[0].name, "K1");
    EXPECT_EQ(after[1].name, "界桩 A&B");
    EXPECT_EQ(after[2].name, "Line1");
    EXPECT_EQ(after[3].name, "Line2");  // a ring drawn as an open polyline comes back open
}

// Every ellipsoid, Y with and without the zone number (L0 = 117° is zone 39 of the 3° grid),
// without and with a Beijing 1954-like datum shift.
class KmlRoundTripOnProjection
    : public ::testing::TestWithParam<std::tuple<geodesy::EllipsoidChoice, geodesy::ZoneNumberInY, bool>> {
public:
    static geodesy::ProjectionChoice Choice(const ParamType& param)
    {
        geodesy::ProjectionChoice choice;
        choice.ellipsoid = std::get<0>(param);
        choice.zoneNumber = std::get<1>(param);
        if (std::get<2>(param))
            choice.datum = geodesy::SevenParameters{-15.8, 154.4, 82.3, 0.9, -1.6, 2.4, -3.2};
        return choice;
    }
};

TEST_P(KmlRoundTripOnProjection, DrawnOnTheProjectionAndWrittenBack)
{
    const geodesy::ZoneProjection projection(kCentralMeridianDeg, Choice(GetParam()));
    TempFolder folder;
    const std::filesystem::path original = folder.Write("survey.kml", kSurveyKml);
    FakeModelSpace drawn;
    DrawKmlFile(original, survey::SurveyFrame(projection, kTransform), 3.0, drawn);
    // K1 lies where this projection and the four parameters put it, at height 0.
    const geodesy::PlanePoint plane = projection.ToPlane(39.987654321, 116.123456789, 0.0);
    const geodesy::GridPoint k1 = geodesy::FourParamForward(kTransform, {plane.x, plane.y, 0.0});
    ASSERT_EQ(drawn.entities.front().kind, DrawnEntity::Kind::Point);
    EXPECT_NEAR(drawn.entities.front().at.x, k1.y, 1e-6);
    EXPECT_NEAR(drawn.entities.front().at.y, k1.x, 1e-6);

    const std::filesystem::path written = folder.path() / "back.kml";
    ASSERT_EQ(
        WriteKmlFromSelection(Pick(drawn), survey::SurveyFrame(projection, kTransform), written).written, 4u);
    ExpectSameCoordinates(ScanFile(original), ScanFile(written));
}

INSTANTIATE_TEST_SUITE_P(
    EveryChoice, KmlRoundTripOnProjection,
    ::testing::Combine(::testing::ValuesIn(geodesy::kEllipsoidChoices),
                       ::testing::Values(geodesy::ZoneNumberInY::With, geodesy::ZoneNumberInY::Without),
                       ::testing::Bool()),
    [](const ::testing::TestParamInfo<KmlRoundTripOnProjection::ParamType>& info) {
        return std::string(geodesy::SettingKey(std::get<0>(info.param))) +
               (std::get<1>(info.param) == geodesy::ZoneNumberInY::With ? "_WithZone" : "_WithoutZone") +
               (std::get<2>(info.param) ? "_Datum" : "");
    });

TEST(KmlRoundTrip, GdalReadsTheWrittenFile)
{
    if (std::system("command -v ogrinfo >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ogrinfo (gdal-bin) is not installed";
    TempFolder folder;
    const FakeSelectionSet selection(
        {FakeEntity::Text("A&B <测量>", 500000.0, 3000000.0),
         FakeEntity::Polyline({500000, 3000000, 500100, 3000050, 500200, 3000000}, false),
         FakeEntity::Polyline({500000, 3000000, 500100, 3000000, 500100, 3000100, 500000, 3000100}, true)});
    const std::filesystem::path file = folder.path() / "gdal.kml";
    WriteKmlFromSelection(selection, kCentralMeridianDeg, kTransform, file);

    const std::string summary = testing::CommandOutput("ogrinfo -ro -al -so '" + file.string() + "' 2>&1");
    EXPECT_NE(summary.find("Feature Count: 3"), std::string::npos) << summary;
    const std::string features = testing::CommandOutput("ogrinfo -ro -al '" + file.string() + "' 2>&1");
    EXPECT_EQ(features.find("ERROR"), std::string::npos) << features;
    for (const char* expected :
         {"= A&B <测量>\n", "\n  POINT", "\n  LINESTRING", "\n  POLYGON", "= Line1\n", "= Region1\n"})
        EXPECT_NE(features.find(expected), std::string::npos) << expected << "\n" << features;
}

}  // namespace
}  // namespace keldarn::cad
