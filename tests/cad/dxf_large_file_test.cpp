// A DXF file of a million entities, as the survey of a large area leaves it: it loads
// whole, in memory of the order of the drawing it makes, never of the file. About ten
// seconds, so ctest runs it under the label "long" (the DISABLED_ prefix keeps it out of
// a plain run of drawing_tests); bench_drawing measures the same load.

#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "tests/support/resource_limits.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <malloc.h>

#include <fstream>
#include <string>
#include <vector>

namespace keldarn::cad {
namespace {

// A field of /proc/self/status in megabytes: "VmRSS" now, "VmHWM" at its peak.
double StatusMB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == field + ":") {
            double kB = 0;
            status >> kB;
            return kB / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

TEST(DxfLargeFile, DISABLED_MillionEntitiesLoadInMemoryOfTheDrawing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("million.dxf"));
    std::uintmax_t fileBytes = 0;
    {
        // 500,000 sampled points with their names, 5 m apart over 5 km × 2.5 km.
        DrawingModel model;
        for (int i = 0; i < 500'000; ++i) {
            const double x = 455000.0 + 5.0 * (i % 1000);
            const double y = 3680000.0 + 5.0 * (i / 1000);
            model.AddPoint(x, y, 85.125);
            model.AddText(std::to_string(i + 1), x, y, 0.0, 3.0);
        }
        const std::string bytes = DxfBytes(model);
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        fileBytes = bytes.size();
    }
    ::malloc_trim(0);
    const double beforeMB = StatusMB("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // VmHWM restarts from here

    const DrawingModel loaded = ReadDxfFile(path);
    const double peakMB = StatusMB("VmHWM") - beforeMB;
    ::malloc_trim(0);
    const double drawingMB = StatusMB("VmRSS") - beforeMB;

    ASSERT_EQ(loaded.EntityCount(), 1'000'000u);
    ASSERT_EQ(loaded.Points().size(), 500'000u);
    ASSERT_EQ(loaded.Texts().size(), 500'000u);
    const DrawingPoint& point = loaded.Points()[123'456];
    EXPECT_EQ(point.x, 455000.0 + 5.0 * 456);
    EXPECT_EQ(point.y, 3680000.0 + 5.0 * 123);
    EXPECT_EQ(point.z, 85.125);
    EXPECT_EQ(loaded.TextOf(loaded.Texts()[499'999]), "500000");
    EXPECT_TRUE(loaded.Unsaved().empty());
    // Reading adds buffers of fixed size and the drawing's growing arrays, never the file.
    const double fileMB = static_cast<double>(fileBytes) / (1 << 20);
    EXPECT_LT(peakMB, 2 * drawingMB + 32) << "file " << fileMB << " MB, drawing " << drawingMB << " MB";
    RecordProperty("file_MB", std::to_string(fileMB));
    RecordProperty("peak_MB", std::to_string(peakMB));
    RecordProperty("drawing_MB", std::to_string(drawingMB));
}

// A save writes the file as it goes: its memory is a buffer of fixed size, never the text of
// the file, which takes about twice the memory of the drawing it holds.
TEST(DxfLargeFile, SavingHoldsNoCopyOfTheFile)
{
    DrawingModel model;
    {
        // A traverse of 3,000,000 vertices: 48 MB of coordinates, some 90 MB of DXF text.
        std::vector<double> xy(6'000'000);
        for (std::size_t i = 0; i < xy.size() / 2; ++i) {
            xy[2 * i] = 455000.0 + 0.125 * static_cast<double>(i);
            xy[2 * i + 1] = 3680000.0 + 0.25 * static_cast<double>(i % 1000);
        }
        model.AddPolyline(xy, false);
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("traverse.dxf"));
    ::malloc_trim(0);
    const double beforeMB = StatusMB("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // VmHWM restarts from here

    SaveDxfFile(model, path);
    const double peakMB = StatusMB("VmHWM") - beforeMB;
    const double fileMB = static_cast<double>(QFileInfo(path).size()) / (1 << 20);
    ASSERT_GT(fileMB, 64.0);
    EXPECT_LT(peakMB, 16.0) << "file " << fileMB << " MB";

    // A save that fails midway, the disk full after 1 MB of it, leaves the file saved
    // before and nothing beside it.
    {
        const keldarn::testing::FileSizeLimit fullDisk(1 << 20);
        EXPECT_THROW(SaveDxfFile(model, path), DxfError);
    }
    EXPECT_EQ(static_cast<double>(QFileInfo(path).size()) / (1 << 20), fileMB);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("traverse.dxf")});
}

}  // namespace
}  // namespace keldarn::cad
