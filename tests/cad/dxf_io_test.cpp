// DXF reading and writing, checked against ezdxf (python3-ezdxf) as an independent
// reader and writer: our files pass its audit and read back exactly, its files of three
// encodings read into the same drawing, and broken files are refused with a message.

#include "cad/drawing_geometry.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "tests/cad/drawing_test_support.h"
#include "tests/support/resource_limits.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace keldarn::cad {
namespace {

constexpr double kExactM = 1e-9;

// Reads a DXF file with ezdxf: the audit's errors and repairs, and every model-space point, text and
// polyline, as JSON.
const char* const kReadWithEzdxf = R"(
import ezdxf, json, sys
from ezdxf.lldxf.encoding import decode_dxf_unicode
doc = ezdxf.readfile(sys.argv[1])
audit = doc.audit()
out = {"errors": [str(e.message) for e in audit.errors], "fixes": [str(e.message) for e in audit.fixes],
       "version": doc.dxfversion,
       "ltscale": doc.header.get("$LTSCALE", 1.0), "entities": []}
for e in doc.modelspace():
    t = e.dxftype()
    item = {"type": t, "layer": decode_dxf_unicode(e.dxf.layer), "color": e.dxf.color}
    if t == "POINT":
        item["xyz"] = list(e.dxf.location)
    elif t == "TEXT":
        item.update(text=decode_dxf_unicode(e.dxf.text), raw_text=e.dxf.text, xyz=list(e.dxf.insert),
                    height=e.dxf.height, rotation=e.dxf.rotation)
    elif t == "LWPOLYLINE":
        item.update(xy=[list(p[:2]) for p in e.get_points("xyb")], bulges=[p[2] for p in e.get_points("xyb")],
                    closed=e.closed)
    elif t == "CIRCLE":
        item.update(center=list(e.dxf.center), radius=e.dxf.radius)
    elif t == "ARC":
        item.update(center=list(e.dxf.center), radius=e.dxf.radius, start=e.dxf.start_angle, end=e.dxf.end_angle)
    out["entities"].append(item)
print(json.dumps(out))
)";

// Writes a drawing with ezdxf: DXF version and encoding from the arguments.
const char* const kWriteWithEzdxf = R"(
import ezdxf, sys
path, version, encoding = sys.argv[1], sys.argv[2], sys.argv[3]
doc = ezdxf.new(version)
if encoding:
    doc.encoding = encoding
doc.header["$LTSCALE"] = 2.5
doc.layers.add("控制点", color=1)
msp = doc.modelspace()
msp.add_point((458123.125, 3682456.5, 12.25), dxfattribs={"layer": "控制点"})
msp.add_point((458200.0625, 3682500.75))
msp.add_text("测点1", dxfattribs={"height": 2.5, "insert": (458123.125, 3682456.5), "layer": "控制点"})
msp.add_text("A-12", dxfattribs={"height": 3.0, "insert": (458200.0625, 3682500.75), "rotation": 30})
msp.add_lwpolyline([(0.5, 0.25), (10.5, 0.25), (10.5, 8.125), (0.5, 8.125)], format="xy", close=True)
msp.add_lwpolyline([(100, 100), (200, 150), (300, 100)], format="xy")
msp.add_circle((50, 60), radius=7.5)
doc.saveas(path)
)";

QJsonObject ReadBack(const QString& path)
{
    QByteArray error;
    const auto output = test::RunPython(kReadWithEzdxf, {path}, &error);
    EXPECT_TRUE(output) << error.toStdString();
    return output ? QJsonDocument::fromJson(*output).object() : QJsonObject();
}

std::vector<QJsonObject> OfType(const QJsonObject& file, const QString& type)
{
    std::vector<QJsonObject> found;
    for (const QJsonValue& entity : file["entities"].toArray()) {
        if (entity.toObject()["type"].toString() == type)
            found.push_back(entity.toObject());
    }
    return found;
}

DrawingModel SurveyDrawing()
{
    DrawingModel model;
    model.SetLtScale(2.0);
    model.AddPoint(458123.125, 3682456.5, 12.25);
    model.AddPoint(458000.123456789, 3682000.987654321, 0.0);
    model.AddPoint(-0.000123, 1e-7, 0.0);
    model.AddText("A", 458123.125, 3682456.5, 0.0, 3.0);
    model.AddText("测点12", 458000.123456789, 3682000.987654321, 0.0, 2.5);
    model.AddText("\xF0\xA0\xAE\xB7x & <b>", 1.0, 2.0, 0.0, 1.0);  // U+20BB7, beyond the BMP
    const double ring[] = {458000.1, 3682000.2, 458010.3, 3682000.4,
                           458010.5, 3682010.6, 458000.7, 3682010.8};
    const double line[] = {0.0, 0.0, 100.000000001, 50.5, 200.25, -3.75};
    model.AddPolyline(ring, true);
    model.AddPolyline(line, false);
    return model;
}

// SurveyDrawing with what a loaded file brings besides: a layer with its own linetype and
// colour, a text style, and a line, circle, arc, ellipse and old-style polyline.
DrawingModel LoadedStyleDrawing()
{
    DrawingModel model = SurveyDrawing();
    model.SetLinetype({"DASHED", "虚线 __ __", 0, 15.0, {10.0, -5.0}});
    model.SetLayer({"控制点", 0, 1, -1, 25, "DASHED"});
    const std::uint16_t font =
        model.SetTextStyle({"仿宋", 0, 0.0, 0.8, 15.0, 0, 2.5, "fsdb.shx", "hztxt.shx"});
    const std::uint32_t style = model.InternStyle({"控制点", 3, 0x00FF80, 35, "DASHED", 2.0});
    model.AddPoint(458100.5, 3682400.25, 0.0, style);
    DrawingText text;
    text.x = 458100.5;
    text.y = 3682400.25;
    text.heightM = 2.5;
    text.rotationRad = 0.5;
    text.hJust = 1;
    text.alignX = 458101.0;
    text.alignY = 3682401.0;
    text.style = style;
    text.textStyle = font;
    model.AddText(text, "图根点");
    const double bulged[] = {0.0, 0.0, 10.0, 0.0, 10.0, 10.0};
    const double bulges[] = {0.5, 0.0, -1.0};
    model.AddPolyline(bulged, false, bulges, style, 12.5);
    const std::pair<OtherKind, std::array<double, 9>> others[] = {
        {OtherKind::Line, {1, 2, 0, 3, 4, 0}},
        {OtherKind::Circle, {50, 60, 0, 7.5}},
        {OtherKind::Arc, {5, 5, 0, 2, 30, 300}},
        {OtherKind::Ellipse, {0, 0, 0, 4, 0, 0, 0.5, 0, 6.283185307179586}},
        {OtherKind::Polyline2d, {85.125}}};
    for (const auto& [kind, p] : others) {
        DrawingOther other;
        other.kind = kind;
        other.style = style;
        other.p = p;
        model.AddOther(other, kind == OtherKind::Polyline2d ? std::span<const double>(bulged)
                                                            : std::span<const double>());
    }
    return model;
}

class DxfFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::EzdxfAvailable())
            GTEST_SKIP() << "python3 with ezdxf is not installed";
        ASSERT_TRUE(dir_.isValid());
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    QString WriteWithEzdxf(const QString& name, const QString& version, const QString& encoding)
    {
        QByteArray error;
        const QString path = Path(name);
        EXPECT_TRUE(test::RunPython(kWriteWithEzdxf, {path, version, encoding}, &error))
            << error.toStdString();
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(DxfFiles, SavedFilePassesEzdxfAuditAndKeepsEveryValue)
{
    const DrawingModel model = SurveyDrawing();
    const QString path = Path("survey.dxf");
    SaveDxfFile(model, path);
    const QJsonObject file = ReadBack(path);

    EXPECT_TRUE(file["errors"].toArray().isEmpty())
        << QJsonDocument(file["errors"].toArray()).toJson().toStdString();
    EXPECT_TRUE(file["fixes"].toArray().isEmpty())
        << QJsonDocument(file["fixes"].toArray()).toJson().toStdString();
    EXPECT_EQ(file["version"].toString(), "AC1015");
    EXPECT_DOUBLE_EQ(file["ltscale"].toDouble(), 2.0);

    const auto points = OfType(file, "POINT");
    ASSERT_EQ(points.size(), model.Points().size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QJsonArray xyz = points[i]["xyz"].toArray();
        EXPECT_NEAR(xyz[0].toDouble(), model.Points()[i].x, kExactM);
        EXPECT_NEAR(xyz[1].toDouble(), model.Points()[i].y, kExactM);
        EXPECT_NEAR(xyz[2].toDouble(), model.Points()[i].z, kExactM);
    }
    const auto texts = OfType(file, "TEXT");
    ASSERT_EQ(texts.size(), model.Texts().size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DrawingText& text = model.Texts()[i];
        EXPECT_EQ(texts[i]["text"].toString().toStdString(), model.TextOf(text));
        EXPECT_NEAR(texts[i]["xyz"].toArray()[0].toDouble(), text.x, kExactM);
        EXPECT_NEAR(texts[i]["xyz"].toArray()[1].toDouble(), text.y, kExactM);
        EXPECT_NEAR(texts[i]["height"].toDouble(), text.heightM, kExactM);
    }
    const auto polylines = OfType(file, "LWPOLYLINE");
    ASSERT_EQ(polylines.size(), 2u);
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const auto xy = model.VerticesOf(model.Polylines()[i]);
        const QJsonArray vertices = polylines[i]["xy"].toArray();
        ASSERT_EQ(static_cast<std::size_t>(vertices.size()) * 2, xy.size());
        for (qsizetype v = 0; v < vertices.size(); ++v) {
            EXPECT_NEAR(vertices[v].toArray()[0].toDouble(), xy[2 * v], kExactM);
            EXPECT_NEAR(vertices[v].toArray()[1].toDouble(), xy[2 * v + 1], kExactM);
        }
        EXPECT_EQ(polylines[i]["closed"].toBool(), model.Polylines()[i].closed);
    }
}

// Chinese texts are GBK bytes under $DWGCODEPAGE ANSI_936, so that readers which show
// \U+ escapes literally (GDAL, ezdxf's raw text) show them; only characters GBK lacks are
// escaped. Each text is checked in the file's bytes, read back by this program, by ezdxf
// and by GDAL's DXF driver (ogrinfo).
struct ChineseText {
    const char* text;
    const char* written;  // the value as it stands in the file
    const char* shown;    // what readers that leave escapes as they are show
};

const ChineseText kChineseTexts[] = {
    {"界桩1",
     "\xBD\xE7\xD7\xAE"
     "1",
     "界桩1"},
    {"测量点 K2", "\xB2\xE2\xC1\xBF\xB5\xE3 K2", "测量点 K2"},
    {"50°±0.1",
     "50\xA1\xE3\xA1\xC0"
     "0.1",
     "50°±0.1"},
    // U+20BB7 is in GB18030 (four bytes) but not in GBK: a surrogate pair of escapes.
    {"\xF0\xA0\xAE\xB7野家", "\\U+D842\\U+DFB7\xD2\xB0\xBC\xD2", "\\U+D842\\U+DFB7野家"},
    // The euro sign is code page 936's one-byte 0x80, which GB18030 and ezdxf lack.
    {"€5", "\\U+20AC5", "\\U+20AC5"},
    // A backslash typed by the user that looks like an escape is escaped itself.
    {"C:\\U+6D4B 界", "C:\\U+005CU+6D4B \xBD\xE7", "C:\\U+005CU+6D4B 界"},
    // 誠 is D5 5C: its second byte is a backslash, which must not start an escape.
    {"誠U+6D4B", "\xD5\x5CU+6D4B", "誠U+6D4B"},
    {"a\tb", "a\\U+0009b", "a\\U+0009b"},
};

QString SaveChineseTexts(const QString& path)
{
    DrawingModel model;
    for (std::size_t i = 0; i < std::size(kChineseTexts); ++i)
        model.AddText(kChineseTexts[i].text, static_cast<double>(i), 0.0, 0.0, 2.5);
    SaveDxfFile(model, path);
    return path;
}

TEST(DxfWriting, ChineseTextsAreGbkBytesEscapedOnlyWhereGbkLacksACharacter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = SaveChineseTexts(dir.filePath(QStringLiteral("chinese.dxf")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("\n  9\n$DWGCODEPAGE\n  3\nANSI_936\n"));
    const DrawingModel loaded = ReadDxfFile(path);
    ASSERT_EQ(loaded.Texts().size(), std::size(kChineseTexts));
    for (std::size_t i = 0; i < std::size(kChineseTexts); ++i) {
        const ChineseText& c = kChineseTexts[i];
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(bytes.contains(QByteArray("\n  1\n") + c.written + "\n"));
        EXPECT_EQ(loaded.TextOf(loaded.Texts()[i]), c.text);
    }
}

TEST_F(DxfFiles, EzdxfReadsChineseTextsAsWritten)
{
    const QJsonObject file = ReadBack(SaveChineseTexts(Path("chinese.dxf")));
    EXPECT_TRUE(file["errors"].toArray().isEmpty())
        << QJsonDocument(file["errors"].toArray()).toJson().toStdString();
    const auto texts = OfType(file, "TEXT");
    ASSERT_EQ(texts.size(), std::size(kChineseTexts));
    for (std::size_t i = 0; i < std::size(kChineseTexts); ++i) {
        const ChineseText& c = kChineseTexts[i];
        SCOPED_TRACE(c.text);
        EXPECT_EQ(texts[i]["raw_text"].toString(), QString::fromUtf8(c.shown));  // decoded by $DWGCODEPAGE
        EXPECT_EQ(texts[i]["text"].toString(), QString::fromUtf8(c.text));       // and its escapes resolved
    }
}

TEST(DxfWriting, GdalReadsChineseTextsAsWritten)
{
    if (QStandardPaths::findExecutable(QStringLiteral("ogrinfo")).isEmpty())
        GTEST_SKIP() << "ogrinfo (gdal-bin) is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = SaveChineseTexts(dir.filePath(QStringLiteral("chinese.dxf")));
    QProcess ogrinfo;
    ogrinfo.start(QStringLiteral("ogrinfo"), {QStringLiteral("-ro"), QStringLiteral("-al"), path});
    ASSERT_TRUE(ogrinfo.waitForFinished(60000));
    ASSERT_EQ(ogrinfo.exitCode(), 0) << ogrinfo.readAllStandardError().toStdString();
    const QString output = QString::fromUtf8(ogrinfo.readAllStandardOutput());
    const QStringList lines = output.split(QLatin1Char('\n'));
    QStringList texts;
    for (const QString& line : lines) {
        if (line.trimmed().startsWith(QStringLiteral("Text (String) = ")))
            texts.push_back(line.trimmed().mid(16));
    }
    ASSERT_EQ(static_cast<std::size_t>(texts.size()), std::size(kChineseTexts)) << output.toStdString();
    for (std::size_t i = 0; i < std::size(kChineseTexts); ++i) {
        const ChineseText& c = kChineseTexts[i];
        SCOPED_TRACE(c.text);
        // GDAL 3.6 shows escapes as they stand; a later GDAL that resolves them is as right.
        const QString text = texts[static_cast<qsizetype>(i)];
        EXPECT_TRUE(text == QString::fromUtf8(c.text) || text == QString::fromUtf8(c.shown))
            << text.toStdString();
    }
}

TEST_F(DxfFiles, EzdxfDrawingsReadTheSameInEveryEncoding)
{
    struct Case {
        const char* version;
        const char* encoding;
        const char* what;
    };
    const Case cases[] = {
        {"R2000", "", "R2000, Chinese as \\U+ escapes"},
        {"R2000", "gbk", "R2000, $DWGCODEPAGE ANSI_936 (GBK bytes)"},
        {"R2018", "", "R2018, UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DrawingModel model = ReadDxfFile(WriteWithEzdxf("ezdxf.dxf", c.version, c.encoding));

        EXPECT_DOUBLE_EQ(*model.Variable("LtScale"), 2.5);
        ASSERT_EQ(model.Points().size(), 2u);
        EXPECT_DOUBLE_EQ(model.Points()[0].x, 458123.125);
        EXPECT_DOUBLE_EQ(model.Points()[0].y, 3682456.5);
        EXPECT_DOUBLE_EQ(model.Points()[0].z, 12.25);
        EXPECT_EQ(model.Styles()[model.Points()[0].style].layer, "控制点");

        ASSERT_EQ(model.Texts().size(), 2u);
        EXPECT_EQ(model.TextOf(model.Texts()[0]), "测点1");
        EXPECT_DOUBLE_EQ(model.Texts()[0].heightM, 2.5);
        EXPECT_DOUBLE_EQ(model.Texts()[0].x, 458123.125);
        EXPECT_EQ(model.TextOf(model.Texts()[1]), "A-12");
        EXPECT_NEAR(model.Texts()[1].rotationRad, 30.0 * std::numbers::pi / 180.0, 1e-12);

        ASSERT_EQ(model.Polylines().size(), 2u);
        EXPECT_TRUE(model.Polylines()[0].closed);
        EXPECT_FALSE(model.Polylines()[1].closed);
        const auto ring = model.VerticesOf(model.Polylines()[0]);
        EXPECT_EQ(std::vector<double>(ring.begin(), ring.end()),
                  (std::vector<double>{0.5, 0.25, 10.5, 0.25, 10.5, 8.125, 0.5, 8.125}));

        ASSERT_EQ(model.Others().size(), 1u);
        EXPECT_EQ(model.Others()[0].kind, OtherKind::Circle);
        EXPECT_DOUBLE_EQ(model.Others()[0].p[3], 7.5);
        EXPECT_TRUE(model.Unsaved().empty());
    }
}

TEST_F(DxfFiles, LoadedDrawingSavesAgainWithLayersColoursAndOtherEntities)
{
    const DrawingModel loaded = ReadDxfFile(WriteWithEzdxf("in.dxf", "R2000", "gbk"));
    const QString path = Path("out.dxf");
    SaveDxfFile(loaded, path);
    const QJsonObject file = ReadBack(path);

    EXPECT_TRUE(file["errors"].toArray().isEmpty())
        << QJsonDocument(file["errors"].toArray()).toJson().toStdString();
    EXPECT_DOUBLE_EQ(file["ltscale"].toDouble(), 2.5);
    const auto points = OfType(file, "POINT");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0]["layer"].toString(), QStringLiteral("控制点"));
    const auto texts = OfType(file, "TEXT");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0]["text"].toString(), QStringLiteral("测点1"));
    EXPECT_NEAR(texts[1]["rotation"].toDouble(), 30.0, 1e-9);
    const auto circles = OfType(file, "CIRCLE");
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_DOUBLE_EQ(circles[0]["radius"].toDouble(), 7.5);
    EXPECT_DOUBLE_EQ(circles[0]["center"].toArray()[0].toDouble(), 50.0);
}

TEST_F(DxfFiles, ContentADxfSaveCannotKeepIsListedByKind)
{
    const char* script = R"(
import ezdxf, sys
doc = ezdxf.new("R2000")
block = doc.blocks.new("MARK")
block.add_circle((0, 0), 1)
msp = doc.modelspace()
msp.add_blockref("MARK", (1, 1))
msp.add_blockref("MARK", (2, 2))
msp.add_mtext("two\\Plines")
msp.add_arc((0, 0), 5, 10, 80)
msp.add_line((0, 0), (3, 4))
doc.layouts.get("Layout1").add_text("on paper")
doc.saveas(sys.argv[1])
)";
    const QString path = Path("rich.dxf");
    ASSERT_TRUE(test::RunPython(script, {path}));
    const DrawingModel model = ReadDxfFile(path);

    EXPECT_EQ(model.Others().size(), 2u);  // the arc and the line are kept
    const std::vector<std::string> lines = UnsavedContentLines(model);
    const std::vector<std::string> expected = {"图纸空间中的实体：1 个", "块参照 (INSERT)：2 个",
                                               "块定义 (BLOCK)：1 个", "多行文字 (MTEXT)：1 个"};
    auto sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    auto sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    EXPECT_EQ(sorted, sortedExpected);
}

TEST_F(DxfFiles, MirroredEntitiesReadInWorldCoordinatesTiltedOnesAreListed)
{
    const char* script = R"(
import ezdxf, sys
doc = ezdxf.new("R2000")
msp = doc.modelspace()
msp.add_arc((10, 0), 5, 0, 90, dxfattribs={"extrusion": (0, 0, -1)})
msp.add_lwpolyline([(1, 1, 0.5), (4, 1, 0)], format="xyb", dxfattribs={"extrusion": (0, 0, -1)})
msp.add_circle((0, 0), 1, dxfattribs={"extrusion": (1, 0, 0)})
msp.add_polyline3d([(0, 0, 0), (1, 1, 1), (2, 0, 3)])
doc.saveas(sys.argv[1])
)";
    const QString path = Path("mirrored.dxf");
    ASSERT_TRUE(test::RunPython(script, {path}));
    const DrawingModel model = ReadDxfFile(path);

    ASSERT_EQ(model.Others().size(), 1u);
    const auto& arc = model.Others()[0].p;  // seen from below: x turns round, the arc runs back
    EXPECT_DOUBLE_EQ(arc[0], -10.0);
    EXPECT_DOUBLE_EQ(arc[4], 90.0);
    EXPECT_DOUBLE_EQ(arc[5], 180.0);
    ASSERT_EQ(model.Polylines().size(), 1u);
    const auto xy = model.VerticesOf(model.Polylines()[0]);
    EXPECT_EQ(std::vector<double>(xy.begin(), xy.end()), (std::vector<double>{-1, 1, -4, 1}));
    EXPECT_DOUBLE_EQ(model.BulgesOf(model.Polylines()[0])[0], -0.5);
    EXPECT_EQ(model.Unsaved().at("不在水平面上的实体"), 1u);
    EXPECT_EQ(model.Unsaved().at("三维多段线或网格 (POLYLINE)"), 1u);
}

// Broken files: each is refused with a message that names the file and says why.
TEST(DxfReading, RefusesFilesThatAreNotCompleteAsciiDxf)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const DrawingModel model = SurveyDrawing();
    const std::string whole = DxfBytes(model);
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;  // part of the message
    };
    const Case cases[] = {
        {"empty.dxf", QByteArray(), "文件是空的"},
        {"prose.dxf", QByteArray("This is a letter, not a drawing.\nRegards\n"), "不是DXF文件"},
        {"noise.dxf", QByteArray("\x00\x01\x02\xff\xfe\x80\n\x00\x00", 9), "不是DXF文件"},
        {"binary.dxf", QByteArrayLiteral("AutoCAD Binary DXF\r\n\x1a\x00\x00\x00SECTION"), "二进制DXF"},
        {"half.dxf", QByteArray::fromStdString(whole.substr(0, whole.size() / 2)), "截断"},
        {"cut_after_code.dxf", QByteArray("  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n"), "截断"},
        {"no_end.dxf", QByteArray("  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n1.0\n 20\n2.0\n"), "截断"},
        {"bad_code.dxf", QByteArray("  0\nSECTION\n  2\nENTITIES\nPOINT\n 10\n"), "组码"},
        {"long_line.dxf", QByteArray(100000, 'x'), "过长"},
        {"comments_only.dxf", QByteArray("999\nwritten by hand\n"), "没有任何段"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        try {
            ReadDxfFile(path);
            ADD_FAILURE() << "no error";
        } catch (const DxfError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.name), std::string::npos) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
    }
    EXPECT_THROW(ReadDxfFile(dir.filePath("missing.dxf")), DxfError);
    EXPECT_THROW(ReadDxfFile(dir.path()), DxfError);
}

TEST(DxfReading, LightweightPolylineCountsAreCheckedBeforeDxflibTrustsThem)
{
    EXPECT_THROW(ReadDxfFile(test::FixturePath("lwpolyline_huge_count.dxf")), DxfError);

    // A bulge before the first vertex is dropped; the vertices read as written.
    const DrawingModel model = ReadDxfFile(test::FixturePath("lwpolyline_bulge_first.dxf"));
    ASSERT_EQ(model.Polylines().size(), 1u);
    const auto xy = model.VerticesOf(model.Polylines()[0]);
    EXPECT_EQ(std::vector<double>(xy.begin(), xy.end()), (std::vector<double>{1, 2, 3, 4}));
    const auto bulges = model.BulgesOf(model.Polylines()[0]);
    ASSERT_EQ(bulges.size(), 2u);
    EXPECT_DOUBLE_EQ(bulges[0], 0.5);
}

// A lightweight polyline of two vertices whose group 90 claims another count. Where the
// file is made long enough to hold the claim (sparse: a hole after EOF), the claim must
// cost nothing; where it is not, the file is refused. Each read runs in a child process
// that may map only 512 MB more than this one.
TEST(DxfReading, ClaimedVertexCountsCostOnlyTheVerticesTheFileHolds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* count;
        bool roomForClaim;    // the file is as long as the claimed vertices need
        const char* refusal;  // part of the message, or nullptr: the two vertices read
    };
    const Case cases[] = {
        {"1073741824", true, nullptr}, {"100000000", true, nullptr},        {"260000000", true, nullptr},
        {"600000000", true, nullptr},  {"2147483647", true, nullptr},       {"0", false, nullptr},
        {"1", false, nullptr},         {"1073741824", false, "1073741824"}, {"-1", false, "-1"},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string name = "claim" + std::to_string(index++) + ".dxf";
        SCOPED_TRACE(name + " count " + c.count);
        const QString path = dir.filePath(QString::fromStdString(name));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("  0\nSECTION\n  2\nENTITIES\n  0\nLWPOLYLINE\n  8\n0\n 90\n") + c.count +
                       "\n 70\n0\n 10\n1\n 20\n2\n 42\n0.5\n 10\n3\n 20\n4\n  0\nENDSEC\n  0\nEOF\n");
            // Ten bytes per vertex at the least ("10\n1\n20\n2\n").
            if (c.roomForClaim) {
                ASSERT_TRUE(file.resize(file.size() + 10 * std::stoll(c.count)));
            }
        }
        const int status = keldarn::testing::RunWithAddressSpaceLimit(512u << 20, [&] {
            try {
                const DrawingModel model = ReadDxfFile(path);
                if (c.refusal || model.Polylines().size() != 1)
                    return 1;
                const auto xy = model.VerticesOf(model.Polylines()[0]);
                const auto bulges = model.BulgesOf(model.Polylines()[0]);
                const bool read =
                    std::vector<double>(xy.begin(), xy.end()) == std::vector<double>{1, 2, 3, 4} &&
                    std::vector<double>(bulges.begin(), bulges.end()) == std::vector<double>{0.5, 0};
                return read ? 0 : 2;
            } catch (const DxfError& error) {
                const std::string message = error.what();
                std::fprintf(stderr, "%s\n", message.c_str());
                const bool named = message.find(name) != std::string::npos;
                return c.refusal && named && message.find(c.refusal) != std::string::npos ? 0 : 3;
            }
        });
        EXPECT_TRUE(WIFEXITED(status)) << "crashed, signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0)
            << "1: read though refused is expected, 2: vertices differ, 3: message, 124: out of memory";
    }
}

TEST(DxfReading, AnArcWithAHugeStartAngleLoads)
{
    // Start angle 6.7e127°: turning the sweep forward by 360° at a time never ended.
    const DrawingModel model = ReadDxfFile(test::FixturePath("arc_huge_start_angle.dxf"));
    ASSERT_EQ(model.Others().size(), 1u);
    EXPECT_FALSE(model.Extents().IsEmpty());
    EXPECT_TRUE(std::isfinite(model.Extents().minX) && std::isfinite(model.Extents().maxY));
}

TEST(DxfReading, OldFileWithoutCodePageReadsGbkTextAndMultiByteEscapes)
{
    const DrawingModel model = ReadDxfFile(test::FixturePath("r12_gbk_no_codepage.dxf"));
    ASSERT_EQ(model.Texts().size(), 2u);
    EXPECT_EQ(model.TextOf(model.Texts()[0]), "测点A");
    EXPECT_EQ(model.TextOf(model.Texts()[1]), "高程");  // written as \M+5B8DF\M+5B3CC
    EXPECT_EQ(model.Styles()[model.Texts()[0].style].layer, "高程点");
    // An old-style 2-D polyline is shown and kept, but not picked.
    ASSERT_EQ(model.Others().size(), 1u);
    EXPECT_EQ(model.Others()[0].kind, OtherKind::Polyline2d);
    EXPECT_TRUE(model.Others()[0].closed);
}

// Texts read back as they were: a backslash that looks like an escape stays a backslash,
// and a text longer than a DXF value can be (a KML name of a megabyte) is saved cut after
// its last whole character, the save says so beforehand, and the file loads again.
TEST(DxfWriting, TextsReadBackOrAreCutWholeAndListed)
{
    DrawingModel model;
    std::string chinese;
    for (int i = 0; i < 600; ++i)
        chinese += "测";  // 2 GBK bytes each: 500 fit
    std::string pairAtTheEnd(993, 'a');
    pairAtTheEnd += "\U0001F600";  // a surrogate pair of 14 bytes from byte 993 on: left out whole
    std::string gbkAtTheEnd(999, 'a');
    gbkAtTheEnd += "测";  // two GBK bytes from byte 999 on: left out whole, not halved
    model.AddText("\\U+6D4B \\M+5B2E2 \\", 0, 0, 0, 1);  // backslashes that are no escapes
    model.AddText(chinese, 1, 0, 0, 1);
    model.AddText(pairAtTheEnd, 2, 0, 0, 1);
    model.AddText(gbkAtTheEnd, 3, 0, 0, 1);
    model.AddText(std::string(998, 'a') + "测", 4, 0, 0, 1);  // exactly 1000 bytes: whole
    EXPECT_EQ(UnsavedContentLines(model),
              std::vector<std::string>{"超长文字（保存时截断为前 1000 字节）：3 个"});

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("long.dxf"));
    SaveDxfFile(model, path);
    const DrawingModel loaded = ReadDxfFile(path);
    ASSERT_EQ(loaded.Texts().size(), 5u);
    EXPECT_EQ(loaded.TextOf(loaded.Texts()[0]), "\\U+6D4B \\M+5B2E2 \\");
    EXPECT_EQ(loaded.TextOf(loaded.Texts()[1]), chinese.substr(0, 500 * 3));
    EXPECT_EQ(loaded.TextOf(loaded.Texts()[2]), std::string(993, 'a'));
    EXPECT_EQ(loaded.TextOf(loaded.Texts()[3]), std::string(999, 'a'));
    EXPECT_EQ(loaded.TextOf(loaded.Texts()[4]), std::string(998, 'a') + "测");
    EXPECT_TRUE(loaded.Unsaved().empty());
    EXPECT_TRUE(UnsavedContentLines(loaded).empty());
}

TEST(DxfWriting, HandleSeedCoversEveryHandleOfALargeDrawing)
{
    DrawingModel model;
    for (int i = 0; i < 70000; ++i)
        model.AddPoint(i, i, 0.0);
    const std::string bytes = DxfBytes(model);  // throws when the seed would be wrong
    const auto seed = bytes.find("$HANDSEED\n  5\n");
    ASSERT_NE(seed, std::string::npos);
    EXPECT_GT(std::stoul(bytes.substr(seed + 14, 8), nullptr, 16), 70000ul);
}

// The bytes of a file saved before the writer wrote piece by piece: any change of them is a
// change of the format other programs read, never a side effect.
TEST(DxfWriting, FileBytesAreThoseOfTheCapturedFile)
{
    const DrawingModel model = LoadedStyleDrawing();
    QFile captured(test::FixturePath(QStringLiteral("written_by_keldarn.dxf")));
    ASSERT_TRUE(captured.open(QIODevice::ReadOnly));
    const QByteArray expected = captured.readAll();
    EXPECT_EQ(DxfBytes(model), expected.toStdString());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("saved.dxf"));
    SaveDxfFile(model, path);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), expected);
}

}  // namespace
}  // namespace keldarn::cad
