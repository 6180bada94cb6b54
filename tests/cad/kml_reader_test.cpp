#include "cad/kml_to_drawing.h"
#include "encoding/text_encoding.h"
#include "geodesy/survey_conversion.h"
#include "kml/kml_error.h"
#include "kml/kml_file.h"
#include "kml/kml_shapes.h"
#include "tests/cad/kml_fakes.h"

#include <zip.h>

#include <fstream>
#include <optional>

namespace keldarn::cad {
namespace {

using testing::DrawnEntity;
using testing::FakeModelSpace;
using testing::Scan;
using testing::TempFolder;
using Kind = DrawnEntity::Kind;

constexpr double kCentralMeridianDeg = 117.0;
constexpr double kTextHeight = 7.5;
const geodesy::FourParamCoefficients kTransform =
    geodesy::MakeFourParamCoefficients({123.4, -56.7, 10.0, 1e-5, 0.0});

std::string Placemark(const std::string& name, const std::string& coordinates)
{
    return "<Placemark><name>" + name + "</name><Point><coordinates>" + coordinates +
           "</coordinates></Point></Placemark>\n";
}

std::string Document(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
           "<Document>\n" +
           body + "</Document>\n</kml>\n";
}

class KmlDrawing : public ::testing::Test {
protected:
    FakeModelSpace Draw(const std::string& bytes, const std::string& fileName = "a.kml")
    {
        FakeModelSpace modelSpace;
        summary = DrawKmlFile(folder.Write(fileName, bytes), kCentralMeridianDeg, kTransform, kTextHeight,
                              modelSpace);
        return modelSpace;
    }

    TempFolder folder;
    KmlDrawSummary summary;
};

// The vertex drawn for a longitude and latitude: x = easting Y′, y = northing X′.
Point3 Expected(double lonDeg, double latDeg)
{
    const geodesy::GridPoint grid =
        geodesy::GeographicToGrid(latDeg, lonDeg, 0.0, kCentralMeridianDeg, kTransform);
    return {grid.y, grid.x, 0.0};
}

void ExpectAt(const Point3& actual, double lonDeg, double latDeg)
{
    const Point3 expected = Expected(lonDeg, latDeg);
    EXPECT_NEAR(actual.x, expected.x, 1e-6);
    EXPECT_NEAR(actual.y, expected.y, 1e-6);
    EXPECT_EQ(actual.z, 0.0);
}

TEST_F(KmlDrawing, PointBecomesPointAndNameTextAtTheGridPosition)
{
    const FakeModelSpace drawn = Draw(Document(Placemark("A", "116.1,39.9,0")));
    ASSERT_EQ(drawn.entities.size(), 2u);
    EXPECT_EQ(drawn.entities[0].kind, Kind::Point);
    ExpectAt(drawn.entities[0].at, 116.1, 39.9);
    EXPECT_EQ(drawn.entities[1].kind, Kind::Text);
    EXPECT_EQ(drawn.entities[1].text, "A");
    EXPECT_EQ(drawn.entities[1].height, kTextHeight);
    EXPECT_EQ(drawn.entities[1].at.x, drawn.entities[0].at.x);
    EXPECT_EQ(drawn.entities[1].at.y, drawn.entities[0].at.y);
    EXPECT_EQ(summary.points, 1u);
    EXPECT_EQ(summary.polylines, 0u);
    // West of the central meridian the easting is below the false easting.
    EXPECT_LT(drawn.entities[0].at.x, 500000.0);
    EXPECT_GT(drawn.entities[0].at.y, 4.0e6);
}

TEST_F(KmlDrawing, TuplesAreSplitAtAnyWhiteSpaceOnAnyLine)
{
    const FakeModelSpace drawn =
        Draw(Document("<Placemark><LineString><coordinates>116.1,39.9 116.2,39.8\t116.3,39.7\n"
                      "  116.4,39.6,12.5  \r\n\n116.5,39.5</coordinates></LineString>"
                      "</Placemark>\n"));
    ASSERT_EQ(drawn.entities.size(), 1u);
    ASSERT_EQ(drawn.entities[0].kind, Kind::Polyline);
    const std::vector<double>& v = drawn.entities[0].vertices;
    ASSERT_EQ(v.size(), 10u);
    for (int i = 0; i < 5; ++i)
        ExpectAt({v[2 * i], v[2 * i + 1], 0.0}, 116.1 + 0.1 * i, 39.9 - 0.1 * i);
    EXPECT_EQ(summary.polylines, 1u);
}

TEST_F(KmlDrawing, EachPolygonRingIsAnOpenPolylineWithItsRepeatedVertex)
{
    const FakeModelSpace drawn = Draw(Document(
        "<Placemark><name>P</name><Polygon><outerBoundaryIs><LinearRing><coordinates>\n"
        "116,39,0 116.1,39,0 116.1,39.1,0 116,39,0\n</coordinates></LinearRing></outerBoundaryIs>\n"
        "<innerBoundaryIs><LinearRing><coordinates>116.02,39.02 116.05,39.02 116.02,39.05 116.02,39.02"
        "</coordinates></LinearRing></innerBoundaryIs></Polygon></Placemark>\n"));
    ASSERT_EQ(drawn.entities.size(), 2u);
    for (const DrawnEntity& ring : drawn.entities) {
        ASSERT_EQ(ring.kind, Kind::Polyline);
        ASSERT_EQ(ring.vertices.size(), 8u);
        EXPECT_EQ(ring.vertices[0], ring.vertices[6]);
        EXPECT_EQ(ring.vertices[1], ring.vertices[7]);
    }
}

TEST_F(KmlDrawing, GeometriesOfOnePlacemarkShareItsName)
{
    const FakeModelSpace drawn = Draw(Document("<Placemark><name>M</name><MultiGeometry>"
                                               "<Point><coordinates>116.1,39.9</coordinates></Point>"
                                               "<Point><coordinates>116.2,39.9</coordinates></Point>"
                                               "</MultiGeometry></Placemark>\n"));
    ASSERT_EQ(drawn.entities.size(), 4u);
    EXPECT_EQ(drawn.entities[1].text, "M");
    EXPECT_EQ(drawn.entities[3].text, "M");
    EXPECT_EQ(summary.points, 2u);
}

TEST(KmlNames, AreThePlacemarksOwnAndEmptyWithoutOne)
{
    const auto elements = Scan(
        Document("<name>Document name</name><Folder><name>Folder name</name>\n"
                 "<Placemark><Point><coordinates>0,0</coordinates></Point></Placemark>\n" +
                 Placemark("first", "1,2") +
                 "<Folder><name>folder after a named placemark</name></Folder>"
                 "<Placemark id=\"p2\" visibility=\"1\"><Point><coordinates>3,4</coordinates>"
                 "</Point></Placemark>\n" +
                 "<Placemark><name>third</name><description><![CDATA[<name>not this</name>]]></description>"
                 "<ExtendedData><Data name=\"name\"><value>nor this</value></Data></ExtendedData>"
                 "<Point><coordinates>5,6</coordinates></Point></Placemark></Folder>\n"));
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_EQ(elements[0].name, "");
    EXPECT_EQ(elements[1].name, "first");
    EXPECT_EQ(elements[2].name, "");  // never the name of the placemark before it
    EXPECT_EQ(elements[3].name, "third");
}

TEST(KmlNames, AreDecodedAndTrimmedButKeepTheirCharacters)
{
    const auto elements = Scan(Document("<Placemark><name>\n  A&amp;B &lt;1&gt; &#x6D4B;&#28857;\n</name>"
                                        "<Point><coordinates>1,2</coordinates></Point></Placemark>\n"
                                        "<Placemark><name><![CDATA[R&D <x>]]> 测量\n点</name>"
                                        "<Point><coordinates>1,2</coordinates></Point></Placemark>\n"));
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[0].name, "A&B <1> 测点");
    EXPECT_EQ(elements[1].name, "R&D <x> 测量\n点");
}

TEST(KmlScan, NamespacedKmlOfEveryVersionIsRead)
{
    const std::string body = "<kml:Document><kml:Placemark><kml:name>N</kml:name><kml:Point><kml:coordinates>"
                             "1,2</kml:coordinates></kml:Point></kml:Placemark></kml:Document></kml:kml>";
    for (const char* ns : {"http://www.opengis.net/kml/2.2", "http://earth.google.com/kml/2.1",
                           "http://earth.google.com/kml/2.0"}) {
        const auto elements = Scan(std::string("<kml:kml xmlns:kml=\"") + ns + "\">" + body);
        ASSERT_EQ(elements.size(), 1u) << ns;
        EXPECT_EQ(elements[0].name, "N");
    }
}

TEST(KmlScan, ElementsOfOtherVocabulariesAndCommentsPlayNoPart)
{
    const auto elements = Scan(Document(
        "<Placemark xmlns:atom=\"http://www.w3.org/2005/Atom\" xmlns:my=\"urn:example\">"
        "<atom:author><atom:name>author</atom:name></atom:author><my:coordinates>9,9</my:coordinates>"
        "<Point><coordinates>1,2</coordinates></Point></Placemark>\n"
        "<!-- <Placemark><name>hidden</name><Point><coordinates>3,4</coordinates></Point></Placemark> -->\n"
        "<placemark><name>lower case</name></placemark><Placemark><Point><COORDINATES>5,6</COORDINATES>"
        "</Point></Placemark>"));
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0].name, "");
    EXPECT_EQ(elements[0].lonLatDeg, (std::vector<double>{1, 2}));
}

TEST(KmlScan, AnElementWithoutVertexDrawsNothing)
{
    const auto elements =
        Scan(Document(Placemark("a", "") + Placemark("b", " \n\t ") + Placemark("c", "7,8")));
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0].name, "c");
}

TEST(KmlScan, TuplesCutBetweenPiecesOfTextAreJoined)
{
    // Far more than one read of the file, so tuples straddle the pieces handed to the
    // parser; every vertex must come through exactly.
    constexpr int kVertexCount = 40000;
    std::string coordinates;
    for (int i = 0; i < kVertexCount; ++i)
        coordinates +=
            std::to_string(100 + i % 50) + "." + std::to_string(i) + "," + std::to_string(i % 80) + ".125,0 ";
    const auto elements = Scan(Document("<Placemark><LineString><coordinates>" + coordinates +
                                        "</coordinates></LineString></Placemark>"));
    ASSERT_EQ(elements.size(), 1u);
    ASSERT_EQ(elements[0].lonLatDeg.size(), 2u * kVertexCount);
    for (int i = 0; i < kVertexCount; ++i) {
        ASSERT_EQ(elements[0].lonLatDeg[2 * i],
                  std::stod(std::to_string(100 + i % 50) + "." + std::to_string(i)));
        ASSERT_EQ(elements[0].lonLatDeg[2 * i + 1], i % 80 + 0.125);
    }
}

TEST(KmlEncoding, UndeclaredGb18030IsRecognised)
{
    // The Chinese name comes after more than a read's worth of ASCII text.
    const std::string padding = "<!--" + std::string(300000, 'x') + "-->\n";
    const std::string utf8 =
        "<kml><Document>" + padding + Placemark("测量点𠀀", "116.1,39.9") + "</Document></kml>";
    const auto elements = Scan(encoding::Utf8ToGb18030(utf8));
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0].name, "测量点𠀀");
}

TEST(KmlEncoding, DeclaredEncodingsAreDecodedAsDeclared)
{
    const std::string body = "<kml><Document>" + Placemark("控制点", "1,2") + "</Document></kml>";
    for (const char* declared : {"GBK", "gb2312", "GB18030"}) {
        const auto elements = Scan(std::string("<?xml version=\"1.0\" encoding=\"") + declared + "\"?>" +
                                   encoding::Utf8ToGb18030(body));
        ASSERT_EQ(elements.size(), 1u) << declared;
        EXPECT_EQ(elements[0].name, "控制点") << declared;
    }
    const std::string traditional = "<kml>" + Placemark("控制點", "1,2") + "</kml>";
    const auto big5 =
        Scan("<?xml version='1.0' encoding='Big5'?>" + encoding::Convert(traditional, "UTF-8", "BIG5"));
    ASSERT_EQ(big5.size(), 1u);
    EXPECT_EQ(big5[0].name, "控制點");
    const auto latin1 = Scan("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><kml>" +
                             Placemark("Gr\xFC\xDF", "1,2") + "</kml>");
    EXPECT_EQ(latin1.at(0).name, "Grüß");
}

TEST(KmlEncoding, ByteOrderMarksAreHonoured)
{
    const std::string body = "<kml>" + Placemark("测量", "1,2") + "</kml>";
    EXPECT_EQ(Scan("\xEF\xBB\xBF" + body).at(0).name, "测量");
    // UTF-16 with its byte-order mark, as Windows tools save "Unicode" text.
    EXPECT_EQ(Scan(encoding::Convert(body, "UTF-8", "UTF-16")).at(0).name, "测量");
}

// A zip archive with the given entries, written with libzip as Google Earth would.
void WriteZip(const std::filesystem::path& file,
              const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

TEST_F(KmlDrawing, KmzDrawsItsMainDocument)
{
    const std::filesystem::path kmz = folder.path() / "a.kmz";
    WriteZip(kmz,
             {{"files/icon.png", "\x89PNG"},
              {"other.kml", Document(Placemark("other", "1,2"))},
              {"doc.kml", Document(Placemark("main", "116.1,39.9") + Placemark("main2", "116.2,39.9"))}});
    FakeModelSpace drawn;
    summary = DrawKmlFile(kmz, kCentralMeridianDeg, kTransform, kTextHeight, drawn);
    EXPECT_EQ(summary.points, 2u);
    EXPECT_EQ(drawn.entities.at(1).text, "main");
}

TEST_F(KmlDrawing, KmzWithoutDocKmlTakesItsFirstRootKmlEvenWhenRenamed)
{
    // Recognised by content, not by name: received files are often renamed.
    const std::filesystem::path kmz = folder.path() / "received.kml";
    WriteZip(kmz, {{"sub/deep.kml", Document(Placemark("deep", "1,2"))},
                   {"Survey.KML", Document(Placemark("survey", "116.1,39.9"))},
                   {"later.kml", Document(Placemark("later", "1,2"))}});
    FakeModelSpace drawn;
    DrawKmlFile(kmz, kCentralMeridianDeg, kTransform, kTextHeight, drawn);
    EXPECT_EQ(drawn.entities.at(1).text, "survey");
}

TEST_F(KmlDrawing, MessagesNameTheKmzAndItsEntry)
{
    const std::filesystem::path kmz = folder.path() / "b.kmz";
    WriteZip(kmz, {{"doc.kml", Document(Placemark("x", "116.1,abc"))}});
    FakeModelSpace drawn;
    try {
        DrawKmlFile(kmz, kCentralMeridianDeg, kTransform, kTextHeight, drawn);
        ADD_FAILURE() << "no error";
    } catch (const kml::KmlError& error) {
        EXPECT_STREQ(error.what(), "读取KML文件 b.kmz（doc.kml） 第4行出错：'abc' 不是有效的数值");
    }
}

TEST_F(KmlDrawing, KmzWithoutKmlAtItsRootIsRefusedClearly)
{
    const std::filesystem::path kmz = folder.path() / "c.kmz";
    WriteZip(kmz, {{"images/a.png", "png"}, {"sub/doc.kml", Document(Placemark("x", "1,2"))}});
    FakeModelSpace drawn;
    try {
        DrawKmlFile(kmz, kCentralMeridianDeg, kTransform, kTextHeight, drawn);
        ADD_FAILURE() << "no error";
    } catch (const kml::KmlError& error) {
        EXPECT_STREQ(error.what(), "KMZ文件 c.kmz 中没有KML文件");
    }
}

std::string NetworkLink(const std::string& href)
{
    return "<NetworkLink><name>" + href + "</name><Link><href>" + href + "</href></Link></NetworkLink>\n";
}

std::vector<std::string> Texts(const FakeModelSpace& drawn)
{
    std::vector<std::string> texts;
    for (const DrawnEntity& entity : drawn.entities)
        if (entity.kind == Kind::Text)
            texts.push_back(entity.text);
    return texts;
}

TEST_F(KmlDrawing, KmzLinksToItsOwnKmlEntriesAreReadOnceEach)
{
    const std::filesystem::path kmz = folder.path() / "linked.kmz";
    WriteZip(kmz,
             {{"doc.kml", Document(NetworkLink("layers/a.kml") + NetworkLink("http://example.com/live.kml") +
                                   NetworkLink("layers/A.kml"))},
              {"layers/a.kml", Document(Placemark("A", "116.1,39.9") + NetworkLink("b%20c.kml#f1") +
                                        NetworkLink("../doc.kml") + NetworkLink("../../up.kml"))},
              {"layers/b c.kml",
               Document(Placemark("B", "116.2,39.9") + NetworkLink("./a.kml") +
                        "<Placemark><name>house</name><Model><Link><href>../models/house.dae</href></Link>"
                        "</Model></Placemark>\n")},
              {"images/photo.jpg", "\xFF\xD8\xFF"},
              {"models/house.dae", "<COLLADA/>"}});
    FakeModelSpace drawn;
    summary = DrawKmlFile(kmz, kCentralMeridianDeg, kTransform, kTextHeight, drawn);
    EXPECT_EQ(Texts(drawn), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(summary.outsideLinks, 2u);  // the address and the path above the archive
    // In document order: a.kml's contents stand where doc.kml links to it, before the address.
    EXPECT_EQ(summary.firstOutsideLink, "../../up.kml");
    EXPECT_EQ(summary.models, 1u);

    // A plain file's link to a file beside it is not followed either.
    folder.Write("beside.kml", Document(Placemark("beside", "116.3,39.9")));
    EXPECT_EQ(Texts(Draw(Document(Placemark("P", "116.1,39.9") + NetworkLink("beside.kml")))),
              std::vector<std::string>{"P"});
    EXPECT_EQ(summary.outsideLinks, 1u);
}

struct KmzCase {
    std::string file;  // in tests/data/kml, or written with `entries` into a temporary folder
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<std::string> names;  // of the elements passed on, in order
    std::size_t documents;
    std::size_t outsideLinks;
};

// KMZ files as GDAL's LIBKML driver and Google Earth write them, and links that must not be
// followed, through the one reader of linked documents.
TEST(KmzLinks, LinkedLayersAreReadWhereTheirLinksStandAndNothingOutsideTheArchive)
{
    TempFolder folder;
    const std::string beside =
        folder.Write("beside.kml", Document(Placemark("beside", "116.3,39.9"))).string();
    std::vector<std::pair<std::string, std::string>> chain = {
        {"doc.kml", Document(Placemark("0", "116,39") + NetworkLink("layers/c1.kml"))}};
    for (int i = 1; i < 30; ++i)  // the last link names an entry that is missing
        chain.emplace_back("layers/c" + std::to_string(i) + ".kml",
                           Document(Placemark(std::to_string(i), "116,39") +
                                    NetworkLink("c" + std::to_string(i + 1) + ".kml")));
    std::vector<std::string> chainNames;
    for (int i = 0; i < 30; ++i)
        chainNames.push_back(std::to_string(i));

    const std::vector<KmzCase> cases = {
        // doc.kml holds only a NetworkLink to layers/area.kml: a polygon with a hole.
        {"libkml_area.kmz", {}, {"测区", "测区"}, 2, 0},
        {"libkml_layers.kmz", {}, {"渠线", "测区", "测区"}, 3, 0},
        {"google_earth.kmz",
         {{"doc.kml", Document(Placemark("K1", "116.1,39.9") +
                               "<GroundOverlay><Icon><href>files/photo.jpg</href></Icon></GroundOverlay>\n" +
                               Placemark("K2", "116.2,39.9"))},
          {"files/photo.jpg", "\xFF\xD8\xFF"}},
         {"K1", "K2"},
         1,
         0},
        {"outside.kmz",
         {{"doc.kml", Document(Placemark("in", "116.1,39.9") + NetworkLink("http://127.0.0.1:8080/live.kml") +
                               NetworkLink("file://" + beside) + NetworkLink(beside) +
                               NetworkLink("../beside.kml") + NetworkLink("..\\beside.kml"))},
          {"../beside.kml", Document(Placemark("slipped", "116.4,39.9"))}},
         {"in"},
         1,
         5},
        {"cycle.kmz",
         {{"doc.kml", Document(Placemark("D1", "116,39") + NetworkLink("a.kml") + Placemark("D2", "116,39"))},
          {"a.kml", Document(Placemark("A", "116,39") + NetworkLink("b.kml"))},
          {"b.kml", Document(Placemark("B", "116,39") + NetworkLink("a.kml") + NetworkLink("doc.kml"))}},
         {"D1", "A", "B", "D2"},
         3,
         0},
        {"chain.kmz", chain, chainNames, 30, 1},
    };
    for (const KmzCase& k : cases) {
        SCOPED_TRACE(k.file);
        std::filesystem::path file = std::filesystem::path(KELDARN_KML_TEST_DATA) / k.file;
        if (!k.entries.empty()) {
            file = folder.path() / k.file;
            WriteZip(file, k.entries);
        }
        testing::RecordingSink sink;
        const kml::KmlFileSummary summary = kml::ScanKmlFile(file, sink);
        std::vector<std::string> names;
        for (const testing::ScannedElement& element : sink.elements)
            names.push_back(element.name);
        EXPECT_EQ(names, k.names);
        EXPECT_EQ(summary.documents, k.documents);
        EXPECT_EQ(summary.outsideLinks, k.outsideLinks);
    }
}

// Rewrites the uncompressed size that the headers of a one-entry archive state, as a crafted
// file may: in the local header (offset 22) and in the central directory's record (offset 24),
// which the end record, the last 22 bytes of a file without comment, locates.
void StateInflatedSize(const std::filesystem::path& file, std::uint32_t bytes)
{
    std::fstream zip(file, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char offset[4] = {};
    zip.seekg(-22 + 16, std::ios::end);
    zip.read(reinterpret_cast<char*>(offset), 4);
    const std::streamoff directory = offset[0] | offset[1] << 8 | offset[2] << 16 | offset[3] << 24;
    const char stated[4] = {static_cast<char>(bytes), static_cast<char>(bytes >> 8),
                            static_cast<char>(bytes >> 16), static_cast<char>(bytes >> 24)};
    for (const std::streamoff at : {std::streamoff{22}, directory + 24}) {
        zip.seekp(at);
        zip.write(stated, 4);
    }
    ASSERT_TRUE(zip.good());
}

struct KmzBombCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> entries;
    std::optional<std::uint32_t> statedSize;  // of the only entry, when the headers lie
    const char* refusedEntry;                 // nullptr: read whole
};

// A KMZ entry is read by the bytes it inflates to, up to the bound and not one piece further,
// whatever size its headers state.
TEST(KmzBound, AnEntryIsReadByWhatItHoldsAndRefusedBeyondTheBound)
{
    const std::string placemark = Placemark("P", "116.1,39.9");
    const auto placemarks = [&](std::size_t bytes) {
        std::string text;
        while (text.size() < bytes)
            text += placemark;
        return text;
    };
    const std::string big = Document(placemarks(4 << 20)), small = Document(placemarks(512 << 10));
    const std::vector<KmzBombCase> cases = {
        {"beyond the bound", {{"doc.kml", big}}, std::nullopt, "doc.kml"},
        {"stating 100 bytes", {{"doc.kml", big}}, 100, "doc.kml"},
        {"stating 4 GB", {{"doc.kml", small}}, 0xFFFFFFF0, nullptr},
        {"linked layer",
         {{"doc.kml", Document(NetworkLink("layers/big.kml"))}, {"layers/big.kml", big}},
         std::nullopt,
         "layers/big.kml"},
    };
    TempFolder folder;
    for (const KmzBombCase& k : cases) {
        SCOPED_TRACE(k.what);
        const std::filesystem::path kmz = folder.path() / "bomb.kmz";
        WriteZip(kmz, k.entries);
        if (k.statedSize)
            StateInflatedSize(kmz, *k.statedSize);
        testing::RecordingSink sink;
        try {
            kml::ScanKmlFile(kmz, sink, {}, kml::KmlReadLimits{1});
            if (k.refusedEntry != nullptr)
                ADD_FAILURE() << k.refusedEntry << " was read whole";
            else
                EXPECT_EQ(sink.elements.size(), (512 << 10) / placemark.size() + 1);
        } catch (const kml::KmlError& error) {
            ASSERT_NE(k.refusedEntry, nullptr) << error.what();
            EXPECT_EQ(error.what(),
                      "KMZ文件 bomb.kmz 中的 " + std::string(k.refusedEntry) +
                          " 解压后超过 1 MB，已停止读取。如确需读取，可在设置文件 Keldarn.ini 的 "
                          "[KML] 节把 KmzEntryMB 调大。");
            EXPECT_LE(sink.elements.size(), (1 << 20) / placemark.size());
        }
    }
}

// The readers of areas and routes and of the drawing conversion take LIBKML's layers.
TEST(KmzLinks, EveryReaderTakesTheLayersOfALibkmlKmz)
{
    const std::filesystem::path kmz = KELDARN_KML_TEST_DATA "/libkml_layers.kmz";
    const std::vector<kml::KmlShape> shapes = kml::ReadKmlShapes(kmz);
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_FALSE(shapes[0].isArea);
    EXPECT_EQ(shapes[0].name, "渠线");
    EXPECT_TRUE(shapes[1].isArea);
    EXPECT_EQ(shapes[1].name, "测区");
    ASSERT_EQ(shapes[1].rings.size(), 2u);  // the outer ring and its hole
    EXPECT_EQ(shapes[1].rings[0].at(2), (geodesy::GeoPoint{.latDeg = 30.04, .lonDeg = 111.04}));

    FakeModelSpace drawn;
    const KmlDrawSummary summary = DrawKmlFile(kmz, 111.0, kTransform, kTextHeight, drawn);
    EXPECT_EQ(summary.polylines, 3u);
    EXPECT_EQ(summary.placemarks, 2u);
}

TEST_F(KmlDrawing, GoogleEarthExportDrawsEveryGeometry)
{
    FakeModelSpace drawn;
    summary = DrawKmlFile(KELDARN_KML_TEST_DATA "/google_earth_export.kml", kCentralMeridianDeg, kTransform,
                          kTextHeight, drawn);
    // Two points, a track line, a field polygon with a hole, a multi-geometry of a point
    // and a line, and a gx:Track of one position; the folder and style names are never taken.
    EXPECT_EQ(summary.points, 4u);
    EXPECT_EQ(summary.polylines, 4u);
    EXPECT_EQ(summary.tracks, 1u);
    EXPECT_EQ(Texts(drawn), (std::vector<std::string>{"控制点 K1", "K2 & K3", "井口", "轨迹"}));
}

}  // namespace
}  // namespace keldarn::cad
