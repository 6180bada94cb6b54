// Files as other programs write them, drawn and checked against PROJ: the files in
// tests/data/kml, and the same GDAL output made afresh when ogr2ogr is installed.

#include "cad/kml_to_drawing.h"
#include "geodesy/gauss_kruger.h"
#include "tests/cad/kml_fakes.h"

#include <sstream>

namespace keldarn::cad {
namespace {

using testing::CommandOutput;
using testing::DrawnEntity;
using testing::FakeModelSpace;
using testing::TempFolder;
using Kind = DrawnEntity::Kind;

constexpr double kCentralMeridianDeg = 117.0;

struct CorpusFile {
    std::string file;    // in tests/data/kml, or made by ogr2ogr from ogr_source.csv
    std::string driver;  // the ogr2ogr driver that makes it; empty for a stored file
    std::size_t points;
    std::size_t polylines;
    std::vector<std::string> texts;
    std::vector<double> lonLatDeg;  // every vertex drawn, points and polylines in drawing order
};

void PrintTo(const CorpusFile& row, std::ostream* out)
{
    *out << row.file << (row.driver.empty() ? "" : " made now by " + row.driver);
}

// ogr_source.csv: P1, a point without a name, and the line L1.
const std::vector<double> kOgrSource = {117.3, 33.2, 116.85, 33.25, 116.9, 33.1, 117.1, 33.15, 117.2, 33.3};

const std::vector<CorpusFile> kCorpus = {
    {"ogr_kml.kml", "", 2, 1, {"P1"}, kOgrSource},
    {"ogr_libkml.kml", "", 2, 1, {"P1"}, kOgrSource},
    // doc.kml holds only a NetworkLink to layers/ogr_source.kml.
    {"ogr_libkml.kmz", "", 2, 1, {"P1"}, kOgrSource},
    {"ogr_kml.kml", "KML", 2, 1, {"P1"}, kOgrSource},
    {"ogr_libkml.kml", "LIBKML", 2, 1, {"P1"}, kOgrSource},
    {"ogr_libkml.kmz", "LIBKML", 2, 1, {"P1"}, kOgrSource},
    // CR LF, tabs, nested folders and a placemark in a comment.
    {"globe_saved_place.kml", "", 1, 1, {"T01"}, {117.05, 33.15, 116.95, 33.05, 116.97, 33.06, 117, 33.08}},
    {"gbk_undeclared.kml", "", 1, 1, {"界桩 J1"}, {117.12, 33.21, 117.12, 33.21, 117.13, 33.22}},
    {"kml_prefix.kml",
     "",
     1,
     1,
     {"BM3"},
     {116.88, 33.02, 116.88, 33.02, 116.89, 33.02, 116.89, 33.03, 116.88, 33.02}},
    // A gx:Track, and a gx:MultiTrack of two tracks, the second of one position.
    {"tracks_only.kml",
     "",
     1,
     2,
     {"巡线 下午"},
     {117.01, 33.11, 117.012, 33.112, 117.015, 33.1125, 117.02, 33.12, 117.021, 33.121, 117.03, 33.13}},
};

bool Installed(const char* program)
{
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Easting, northing (metres) of each longitude, latitude by PROJ's transverse Mercator on
// the program's ellipsoid; by the program's own series when the proj command is missing.
std::vector<double> Projected(const std::vector<double>& lonLatDeg, const TempFolder& folder)
{
    std::vector<double> plane;
    if (!Installed("proj")) {
        for (std::size_t i = 0; i + 1 < lonLatDeg.size(); i += 2) {
            const geodesy::PlanePoint p =
                geodesy::GeographicToPlane(lonLatDeg[i + 1], lonLatDeg[i], kCentralMeridianDeg);
            plane.insert(plane.end(), {p.y, p.x});
        }
        return plane;
    }
    std::ostringstream input;
    input.precision(17);
    for (std::size_t i = 0; i + 1 < lonLatDeg.size(); i += 2)
        input << lonLatDeg[i] << ' ' << lonLatDeg[i + 1] << '\n';
    const std::filesystem::path file = folder.Write("lonlat.txt", input.str());
    std::istringstream output(CommandOutput("proj +proj=tmerc +lon_0=117 +k=1 +x_0=500000 +a=6378138 "
                                            "+b=6356752.29821597 -f %.6f < '" +
                                            file.string() + "'"));
    for (double value; output >> value;)
        plane.push_back(value);
    return plane;
}

class KmlCorpus : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(KmlCorpus, DrawsWhatTheFileHolds)
{
    const CorpusFile& row = GetParam();
    TempFolder folder;
    std::filesystem::path file = std::filesystem::path(KELDARN_KML_TEST_DATA) / row.file;
    if (!row.driver.empty()) {
        if (!Installed("ogr2ogr"))
            GTEST_SKIP() << "ogr2ogr (gdal-bin) is not installed";
        file = folder.path() / row.file;
        const std::string made =
            CommandOutput("ogr2ogr -oo KEEP_GEOM_COLUMNS=NO -f " + row.driver + " '" + file.string() +
                          "' '" KELDARN_KML_TEST_DATA "/ogr_source.csv' 2>&1");
        ASSERT_TRUE(std::filesystem::exists(file)) << made;
    }
    FakeModelSpace drawn;
    DrawKmlFile(file, kCentralMeridianDeg, geodesy::FourParamCoefficients{}, 2.5, drawn);

    EXPECT_EQ(drawn.Count(Kind::Point), row.points);
    EXPECT_EQ(drawn.Count(Kind::Polyline), row.polylines);
    std::vector<std::string> texts;
    std::vector<double> vertices;
    for (const DrawnEntity& entity : drawn.entities) {
        if (entity.kind == Kind::Text)
            texts.push_back(entity.text);
        else if (entity.kind == Kind::Point)
            vertices.insert(vertices.end(), {entity.at.x, entity.at.y});
        else
            vertices.insert(vertices.end(), entity.vertices.begin(), entity.vertices.end());
    }
    EXPECT_EQ(texts, row.texts);
    const std::vector<double> expected = Projected(row.lonLatDeg, folder);
    ASSERT_EQ(vertices.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(vertices[i], expected[i], 0.001) << "value " << i;  // 1 mm
}

INSTANTIATE_TEST_SUITE_P(OtherProgramsFiles, KmlCorpus, ::testing::ValuesIn(kCorpus));

}  // namespace
}  // namespace keldarn::cad
