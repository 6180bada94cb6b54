#include "cad/terrain_drawing.h"

#include "cad/drawing_geometry.h"
#include "cad/drawing_test_support.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace keldarn::cad {
namespace {

struct LabelCase {
    const char* label;
    std::vector<double> xy;
    double elevationM;
    std::size_t labels;  // at 2 m label height: one per 400 m; "100" is 4.8 m wide
    const char* text;
    double rotationDeg;
};
void PrintTo(const LabelCase& c, std::ostream* out)
{
    *out << c.label;
}

class IndexContourLabels : public testing::TestWithParam<LabelCase> {};

TEST_P(IndexContourLabels, StandOnTheLineUpright)
{
    const LabelCase& c = GetParam();
    DrawingModel model;
    const ContourPolyline line{c.elevationM, true, c.xy};
    DrawContours(model, std::span(&line, 1), 2.0);
    ASSERT_EQ(model.Texts().size(), c.labels);
    for (const DrawingText& text : model.Texts()) {
        EXPECT_EQ(model.TextOf(text), c.text);
        EXPECT_EQ(model.Styles()[text.style].layer, kIndexContourLayer);
        // On the (straight) line: the cross product of its direction and the label's offset.
        const double dx = c.xy[2] - c.xy[0], dy = c.xy[3] - c.xy[1];
        EXPECT_NEAR((text.alignX - c.xy[0]) * dy - (text.alignY - c.xy[1]) * dx, 0.0, 1e-6);
        EXPECT_NEAR(text.rotationRad * 180 / std::numbers::pi, c.rotationDeg, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndexContourLabels,
    testing::Values(LabelCase{"TooShortForItsLabel", {0, 0, 10, 0}, 100.0, 0, "", 0.0},
                    LabelCase{"ShortLineOneLabel", {0, 0, 20, 0}, 100.0, 1, "100", 0.0},
                    LabelCase{"WestwardReadsLeftToRight", {1000, 0, 0, 0}, 12.5, 2, "12.5", 0.0},
                    LabelCase{"NorthWestTurnedUpright", {0, 0, -300, 300}, -5.0, 1, "-5", -45.0},
                    LabelCase{"SouthwardReadsUpwards", {0, 1700, 0, 0}, 7.25, 4, "7.25", 90.0}),
    [](const testing::TestParamInfo<LabelCase>& info) { return info.param.label; });

struct PointCase {
    const char* label;
    double h;
    int decimals;
    const char* text;
};
void PrintTo(const PointCase& c, std::ostream* out)
{
    *out << c.label;
}

class ElevationPointTexts : public testing::TestWithParam<PointCase> {};

TEST_P(ElevationPointTexts, ReadTheHeightRightOfTheDot)
{
    const PointCase& c = GetParam();
    DrawingModel model;
    const ElevationPointEntry entry{458000.0, 3682000.0, c.h};
    DrawElevationPoints(model, std::span(&entry, 1), c.decimals, 2.0);
    ASSERT_EQ(model.Texts().size(), 1u);
    EXPECT_EQ(model.TextOf(model.Texts()[0]), c.text);
    const DrawingBox box = TextBox(model.Texts()[0]);
    EXPECT_TRUE(box.minX > entry.x && box.minY < entry.y && box.maxY > entry.y)
        << "not level, right of the dot";
}

INSTANTIATE_TEST_SUITE_P(Cases, ElevationPointTexts,
                         testing::Values(PointCase{"Rounded", 123.456, 2, "123.46"},
                                         PointCase{"KeepsZeros", 7.25, 3, "7.250"},
                                         PointCase{"Whole", 49.6, 0, "50"},
                                         PointCase{"NoNegativeZero", -0.001, 2, "0.00"}),
                         [](const testing::TestParamInfo<PointCase>& info) { return info.param.label; });

// What ezdxf reads of a file: audit errors, layers (colour, line weight), polylines (layer,
// elevation), and each elevation point with the text nearest to it on its layer.
const char* const kReadWithEzdxf = R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
msp = doc.modelspace()
texts = [t for t in msp.query("TEXT") if t.dxf.layer == "高程点"]
near = lambda p: min(texts, key=lambda t: (t.dxf.insert - p.dxf.location).magnitude).dxf.text
print(json.dumps({"errors": [e.message for e in doc.audit().errors],
                  "layers": {l.dxf.name: [l.dxf.color, l.dxf.lineweight] for l in doc.layers},
                  "polylines": [[e.dxf.layer, e.dxf.elevation] for e in msp.query("LWPOLYLINE")],
                  "points": [[p.dxf.layer, p.dxf.location.z, near(p)] for p in msp.query("POINT")]}))
)";

TEST(TerrainDxf, ElevationsReachEzdxfAndSurviveLoadAndSave)
{
    const std::vector<double> xy[] = {{0, 0, 500, 20, 900, 300}, {0, 50, 480, 70}, {0, -40, 460, -30}};
    const ContourPolyline lines[] = {{1250.0, true, xy[0]}, {1252.5, false, xy[1]}, {1247.5, false, xy[2]}};
    const ElevationPointEntry points[] = {{100.0, 100.0, 1251.234}, {300.0, -20.0, 1248.0}, {50, 60, -0.5}};
    DrawingModel model;
    DrawContours(model, lines, 2.0);
    DrawElevationPoints(model, points, 2, 1.5);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("terrain.dxf"));
    SaveDxfFile(model, path);

    // Read back by this program, saved again and read once more.
    SaveDxfFile(ReadDxfFile(path), path + QStringLiteral("2"));
    const DrawingModel loaded = ReadDxfFile(path + QStringLiteral("2"));
    ASSERT_EQ(loaded.Polylines().size(), std::size(lines));
    for (std::size_t i = 0; i < std::size(lines); ++i)
        EXPECT_EQ(loaded.Polylines()[i].elevation, lines[i].elevationM);

    if (!test::EzdxfAvailable())
        GTEST_SKIP() << "python3 with ezdxf is not installed";
    QByteArray error;
    const auto output = test::RunPython(kReadWithEzdxf, {path}, &error);
    ASSERT_TRUE(output) << error.toStdString();
    const QJsonObject file = QJsonDocument::fromJson(*output).object();
    EXPECT_TRUE(file["errors"].toArray().isEmpty()) << output->toStdString();
    const QJsonObject layers = file["layers"].toObject();
    const QJsonArray ordinary = layers[QString::fromUtf8(kOrdinaryContourLayer)].toArray();
    const QJsonArray index = layers[QString::fromUtf8(kIndexContourLayer)].toArray();
    ASSERT_TRUE(layers.contains(QString::fromUtf8(kElevationPointLayer)) && !ordinary.empty() &&
                !index.empty());
    EXPECT_NE(ordinary[0].toInt(), index[0].toInt()) << "both kinds of contour in one colour";
    EXPECT_GT(index[1].toInt(), ordinary[1].toInt()) << "index contours not heavier";
    const QJsonArray polylines = file["polylines"].toArray();
    ASSERT_EQ(polylines.size(), static_cast<qsizetype>(std::size(lines)));
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        const QJsonArray polyline = polylines[static_cast<qsizetype>(i)].toArray();
        EXPECT_EQ(polyline[0].toString(),
                  QString::fromUtf8(lines[i].isIndex ? kIndexContourLayer : kOrdinaryContourLayer));
        EXPECT_EQ(polyline[1].toDouble(), lines[i].elevationM);
    }
    for (const QJsonValue& point : file["points"].toArray()) {
        EXPECT_EQ(point[0].toString(), QString::fromUtf8(kElevationPointLayer));
        EXPECT_EQ(point[2].toString(), QString::number(point[1].toDouble(), 'f', 2));
    }
}

// An old-style 2-D polyline keeps its elevation (the z of its header) when written back as a
// lightweight one; a polyline at elevation 0 is written as before, without group 38.
TEST(TerrainDxf, OldStylePolylineElevationAndZeroElevation)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("old.dxf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n10\n0\n20\n0\n30\n77.5\n70\n0\n0\nVERTEX\n8\n0\n"
        "10\n1\n20\n2\n30\n77.5\n0\nVERTEX\n8\n0\n10\n3\n20\n4\n30\n77.5\n0\nSEQEND\n0\nENDSEC\n0\nEOF\n");
    file.close();
    EXPECT_NE(DxfBytes(ReadDxfFile(file.fileName())).find("LWPOLYLINE\n"), std::string::npos);
    EXPECT_NE(DxfBytes(ReadDxfFile(file.fileName())).find("\n 38\n77.5\n"), std::string::npos);
    DrawingModel flat;
    flat.AddPolyline(std::vector<double>{0.0, 0.0, 10.0, 5.0}, false);
    EXPECT_EQ(DxfBytes(flat).find("\n 38\n"), std::string::npos);
}

}  // namespace
}  // namespace keldarn::cad
