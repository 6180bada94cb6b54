// keldarn-cli kml2dxf and dxf2kml against the window's own path: a new drawing document,
// DrawKmlFile with the window's text height, and DxfBytes as the drawing window saves.

#include "cad/drawing_document.h"
#include "cad/drawing_pick.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "cad/kml_to_drawing.h"
#include "cad/kml_writer.h"
#include "cli/command_line.h"
#include "cli/kml_commands.h"
#include "geodesy/four_param.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace keldarn::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kData = KELDARN_KML_TEST_DATA;

struct Sample {
    const char* file;
    double meridianDeg;
};
const Sample kSamples[] = {{"google_earth_export.kml", 114.0}, {"ogr_libkml.kmz", 117.0}};

// A different value in each parameter, so that two exchanged ones show.
const geodesy::FourParameterSet kParameters{-12.5, 7.25, 3.2, 0.000015, 0.0};

std::vector<std::string> Command(std::vector<std::string> arguments, double meridianDeg)
{
    const std::vector<std::string> more = {"--meridian", std::to_string(meridianDeg),
                                           "--dx",       "-12.5",
                                           "--dy",       "7.25",
                                           "--rot",      "3.2",
                                           "--scale",    "0.000015",
                                           "--quiet"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// The window's "KML文件转为CAD图形" into a new drawing.
void DrawAsWindow(const fs::path& kml, double meridianDeg, cad::DrawingDocument& document)
{
    cad::DrawKmlFile(kml, meridianDeg, geodesy::MakeFourParamCoefficients(kParameters),
                     3.0 * document.GetVariable("LtScale"), document.ModelSpace());
}

std::string WindowDxf(const Sample& sample)
{
    cad::DrawingDocument document;
    DrawAsWindow(kData / sample.file, sample.meridianDeg, document);
    return cad::DxfBytes(document.Model());
}

// The window's "CAD图形转为KML文件" on the DXF file opened in the drawing window, the user
// drawing a selection window around the whole drawing.
std::string WindowKml(const fs::path& dxf, double meridianDeg, const std::string& documentName)
{
    cad::DrawingDocument document;
    document.ReplaceModel(cad::ReadDxfFile(QString::fromStdString(dxf.string())));
    const cad::DrawingModel& model = document.Model();
    const cad::EntityKind kinds[] = {cad::EntityKind::Text, cad::EntityKind::Polyline};
    document.SetPicker(
        [&] { return std::optional(cad::EntitiesInWindow(model, model.Extents(), false, kinds)); });
    cad::IAcadSelectionSet& selection = document.SelectionSets().Add("ssObj");
    selection.SelectOnScreen({-4, -4, 0, -4, -4, 0, -4, -4},
                             {"<or", "<and", "LWPolyline", "and>", "<and", "Text", "and>", "or>"});
    return cad::BuildKmlDocument(selection, meridianDeg, geodesy::MakeFourParamCoefficients(kParameters),
                                 documentName)
        .text;
}

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class KmlCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("keldarn_kml_cli_" + std::to_string(::getpid()) + "_" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(KmlCommandsTest, DxfIsTheFileTheWindowSaves)
{
    for (const Sample& sample : kSamples) {
        const fs::path dxf = dir_ / "out.dxf";
        ASSERT_EQ(RunKml2Dxf(Command({"kml2dxf", kData / sample.file, "--output", dxf}, sample.meridianDeg)),
                  kExitOk);
        EXPECT_EQ(Read(dxf), WindowDxf(sample)) << sample.file;
    }
}

// KML → DXF → KML as the window writes it → drawing again: every text and polyline back
// within 0.1 mm.
TEST_F(KmlCommandsTest, DxfBackToKmlKeepsTextsAndPolylines)
{
    for (const Sample& sample : kSamples) {
        const fs::path dxf = dir_ / "trip.dxf", kml = dir_ / "trip.kml";
        ASSERT_EQ(RunKml2Dxf(Command({"kml2dxf", kData / sample.file, "--output", dxf}, sample.meridianDeg)),
                  kExitOk);
        ASSERT_EQ(RunDxf2Kml(Command({"dxf2kml", dxf, "--output", kml}, sample.meridianDeg)), kExitOk);
        EXPECT_EQ(Read(kml), WindowKml(dxf, sample.meridianDeg, "trip")) << sample.file;
        cad::DrawingDocument original, back;
        DrawAsWindow(kData / sample.file, sample.meridianDeg, original);
        DrawAsWindow(kml, sample.meridianDeg, back);
        const cad::DrawingModel &a = original.Model(), &b = back.Model();
        ASSERT_GT(a.Texts().size(), 0u);
        ASSERT_GT(a.Polylines().size(), 0u);
        ASSERT_EQ(a.Texts().size(), b.Texts().size()) << sample.file;
        ASSERT_EQ(a.Polylines().size(), b.Polylines().size()) << sample.file;
        for (std::size_t k = 0; k < a.Texts().size(); ++k) {
            EXPECT_EQ(a.TextOf(a.Texts()[k]), b.TextOf(b.Texts()[k]));
            EXPECT_NEAR(a.Texts()[k].x, b.Texts()[k].x, 1e-4);
            EXPECT_NEAR(a.Texts()[k].y, b.Texts()[k].y, 1e-4);
        }
        for (std::size_t k = 0; k < a.Polylines().size(); ++k) {
            const auto va = a.VerticesOf(a.Polylines()[k]), vb = b.VerticesOf(b.Polylines()[k]);
            ASSERT_EQ(va.size(), vb.size());
            for (std::size_t i = 0; i < va.size(); ++i)
                EXPECT_NEAR(va[i], vb[i], 1e-4) << sample.file << " polyline " << k;
        }
    }
}

TEST_F(KmlCommandsTest, FolderGoesToOneDxfPerInput)
{
    fs::create_directories(dir_ / "in");
    fs::copy_file(kData / "google_earth_export.kml", dir_ / "in" / "a.kml");
    fs::copy_file(kData / "globe_saved_place.kml", dir_ / "in" / "b.KML");
    fs::copy_file(kData / "ogr_source.csv", dir_ / "in" / "c.csv");  // not an input
    ASSERT_EQ(RunKml2Dxf(Command({"kml2dxf", dir_ / "in", "--output-dir", dir_ / "out"}, 117.0)), kExitOk);
    EXPECT_EQ(Read(dir_ / "out" / "a.dxf"), WindowDxf({"google_earth_export.kml", 117.0}));
    EXPECT_EQ(Read(dir_ / "out" / "b.dxf"), WindowDxf({"globe_saved_place.kml", 117.0}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()), 2);
}

TEST_F(KmlCommandsTest, BadRunsLeaveTheTargetAlone)
{
    const fs::path kml = kData / "google_earth_export.kml", oldDxf = dir_ / "old.dxf",
                   oldKml = dir_ / "old.kml", blocker = dir_ / "blocker", cutDxf = dir_ / "cut.dxf";
    Write(dir_ / "empty.kml", "<kml><Document><Placemark><name>P</name></Placemark></Document></kml>");
    const std::string dxf = WindowDxf(kSamples[0]);
    Write(cutDxf, dxf.substr(0, dxf.size() / 2));
    // A KMZ whose doc.kml inflates to 2 MB, beyond the bound of 1 MB that bound.ini sets.
    std::string bomb = "<kml><Document>\n";
    while (bomb.size() < (2 << 20))
        bomb += "<Placemark><name>P</name><Point><coordinates>114,33</coordinates></Point></Placemark>\n";
    bomb += "</Document></kml>\n";
    int zipError = 0;
    zip_t* kmz = zip_open((dir_ / "bomb.kmz").c_str(), ZIP_CREATE, &zipError);
    ASSERT_NE(kmz, nullptr);
    ASSERT_GE(zip_file_add(kmz, "doc.kml", zip_source_buffer(kmz, bomb.data(), bomb.size(), 0), 0), 0);
    ASSERT_EQ(zip_close(kmz), 0);
    Write(dir_ / "bound.ini", "[KML]\nKmzEntryMB=1\n");
    Write(dir_ / "unread.ini", "[KML]\nKmzEntryMB=lots\n");
    struct Row {
        std::vector<std::string> arguments;
        fs::path target;
        int status;
        std::string message;  // part of what standard error says
    };
    const Row rows[] = {
        {{"kml2dxf", kml, "--output", oldDxf, "--quiet"}, oldDxf, kExitBadInput, "--meridian"},
        {Command({"kml2dxf", kData / "ogr_source.csv", "--output", oldDxf}, 114), oldDxf, kExitBadInput,
         "ogr_source.csv 第1行"},
        {Command({"kml2dxf", dir_ / "empty.kml", "--output", oldDxf}, 114), oldDxf, kExitBadInput,
         "没有可绘制的点或线（文件中有：1 个地标（Placemark））"},
        {Command({"kml2dxf", kml, kData / "ogr_libkml.kmz", "--output", oldDxf}, 114), oldDxf, kExitBadInput,
         "--output-dir"},
        {Command({"kml2dxf", dir_ / "bomb.kmz", "--settings", dir_ / "bound.ini", "--output", oldDxf}, 114),
         oldDxf, kExitBadInput, "KMZ文件 bomb.kmz 中的 doc.kml 解压后超过 1 MB"},
        {Command({"kml2dxf", kml, "--settings", dir_ / "unread.ini", "--output", oldDxf}, 114), oldDxf,
         kExitBadInput, "KmzEntryMB=lots"},
        {Command({"kml2dxf", kml, "--output-dir", blocker}, 114), blocker, kExitFailure, "blocker"},
        {Command({"kml2dxf", kml, "--output", blocker / "a.dxf"}, 114), blocker, kExitFailure, "blocker"},
        {Command({"dxf2kml", cutDxf, "--output", oldKml}, 114), oldKml, kExitBadInput, "cut.dxf"},
        {Command({"dxf2kml", kml, "--output", oldKml}, 114), oldKml, kExitBadInput,
         "google_earth_export.kml"},
    };
    for (const Row& row : rows) {
        for (const fs::path& target : {oldDxf, oldKml, blocker})
            Write(target, "old");
        testing::internal::CaptureStderr();
        const int status =
            row.arguments[0] == "kml2dxf" ? RunKml2Dxf(row.arguments) : RunDxf2Kml(row.arguments);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, row.status) << message;
        EXPECT_NE(message.find(row.message), std::string::npos) << message;
        EXPECT_EQ(Read(row.target), "old") << message;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()),
              8);  // no file left behind
}

}  // namespace
}  // namespace keldarn::cli
