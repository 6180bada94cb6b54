#pragma once

// In-memory stand-ins for the drawing window's automation objects, and helpers for
// KML test files.

#include "cad/acad_automation.h"
#include "kml/kml_input.h"
#include "kml/kml_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::cad::testing {

// One entity the model space received.
struct DrawnEntity {
    enum class Kind { Point, Text, Polyline };
    Kind kind = Kind::Point;
    Point3 at;                     // point and text
    std::string text;              // text
    double height = 0.0;           // text
    std::vector<double> vertices;  // polyline: x0, y0, x1, y1, ...
};

class FakeModelSpace : public IAcadModelSpace {
public:
    void AddPoint(const Point3& point) override
    {
        Admit();
        entities.push_back({DrawnEntity::Kind::Point, point, {}, 0.0, {}});
    }
    void AddText(const std::string& text, const Point3& insertionPoint, double height) override
    {
        Admit();
        entities.push_back({DrawnEntity::Kind::Text, insertionPoint, text, height, {}});
    }
    void AddLightWeightPolyLine(const std::vector<double>& vertices) override
    {
        Admit();
        entities.push_back({DrawnEntity::Kind::Polyline, {}, {}, 0.0, vertices});
    }

    std::size_t Count(DrawnEntity::Kind kind) const
    {
        return static_cast<std::size_t>(std::count_if(
            entities.begin(), entities.end(), [kind](const DrawnEntity& e) { return e.kind == kind; }));
    }

    std::vector<DrawnEntity> entities;
    // The call with this number (from 0) is rejected with an AcadError.
    std::optional<std::size_t> rejectCall;

private:
    void Admit()
    {
        if (rejectCall && *rejectCall == calls_)
            throw AcadError("图形窗口已关闭");
        ++calls_;
    }
    std::size_t calls_ = 0;
};

class FakeEntity : public IAcadEntity {
public:
    static FakeEntity Text(std::string text, double x, double y, double height = 2.0)
    {
        FakeEntity entity;
        entity.objectName = "AcDbText";
        entity.text = std::move(text);
        entity.at = {x, y, 0.0};
        // Roughly the extents of a left-aligned single-line text.
        entity.lowerLeft = {x, y, 0.0};
        entity.upperRight = {x + 0.8 * height *
                                     static_cast<double>(std::max<std::size_t>(entity.text.size(), 1)),
                             y + height, 0.0};
        return entity;
    }
    static FakeEntity Polyline(std::vector<double> vertices, bool isClosed)
    {
        FakeEntity entity;
        entity.objectName = "AcDbPolyline";
        entity.isClosed = isClosed;
        entity.vertices = std::move(vertices);
        if (!entity.vertices.empty()) {
            entity.lowerLeft = entity.upperRight = {entity.vertices[0], entity.vertices[1], 0.0};
            for (std::size_t i = 0; i + 1 < entity.vertices.size(); i += 2) {
                entity.lowerLeft.x = std::min(entity.lowerLeft.x, entity.vertices[i]);
                entity.lowerLeft.y = std::min(entity.lowerLeft.y, entity.vertices[i + 1]);
                entity.upperRight.x = std::max(entity.upperRight.x, entity.vertices[i]);
                entity.upperRight.y = std::max(entity.upperRight.y, entity.vertices[i + 1]);
            }
        }
        return entity;
    }

    std::string ObjectName() const override { return objectName; }
    void GetBoundingBox(Point3& ll, Point3& ur) const override
    {
        if (boxFails)
            throw AcadError("图元的范围无法计算");
        ll = lowerLeft;
        ur = upperRight;
    }
    std::string TextString() const override
    {
        Expect("AcDbText");
        return text;
    }
    Point3 InsertionPoint() const override
    {
        Expect("AcDbText");
        return at;
    }
    bool closed() const override
    {
        Expect("AcDbPolyline");
        return isClosed;
    }
    std::vector<double> Coordinates() const override
    {
        Expect("AcDbPolyline");
        return vertices;
    }
    std::array<double, 2> Coordinate(int index) const override
    {
        Expect("AcDbPolyline");
        const auto i = static_cast<std::size_t>(index);
        if (index < 0 || 2 * i + 1 >= vertices.size())
            throw AcadError("顶点编号超出范围");
        return {vertices[2 * i], vertices[2 * i + 1]};
    }

    std::string objectName;
    std::string text;
    Point3 at;
    bool isClosed = false;
    std::vector<double> vertices;
    Point3 lowerLeft;
    Point3 upperRight;
    bool boxFails = false;

private:
    void Expect(const char* kind) const
    {
        if (objectName != kind)
            throw AcadError("图元类型不支持这个操作");
    }
};

class FakeSelectionSet : public IAcadSelectionSet {
public:
    FakeSelectionSet() = default;
    explicit FakeSelectionSet(std::vector<FakeEntity> picked) : entities(std::move(picked)) {}

    void SelectOnScreen(const std::vector<std::int16_t>&, const std::vector<std::string>&) override {}
    int Count() const override { return static_cast<int>(entities.size()); }
    const IAcadEntity& Item(int index) const override { return entities.at(static_cast<std::size_t>(index)); }
    void Delete() override {}

    std::vector<FakeEntity> entities;
};

// What a scan passed on: each element's vertices (lon, lat pairs) and name.
struct ScannedElement {
    std::vector<double> lonLatDeg;
    std::string name;
};

class RecordingSink : public kml::KmlGeometrySink {
public:
    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        elements.push_back({lonLatDeg, placemarkName});
    }
    std::vector<ScannedElement> elements;
};

// A KML text as a byte source, handed out in pieces of at most `pieceBytes`.
class StringSource : public kml::KmlByteSource {
public:
    explicit StringSource(std::string text, std::size_t pieceBytes = 1 << 20)
        : text_(std::move(text)), pieceBytes_(pieceBytes)
    {
    }
    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        const std::size_t count = std::min({capacity, pieceBytes_, text_.size() - offset_});
        std::copy_n(text_.data() + offset_, count, buffer);
        offset_ += count;
        return count;
    }

private:
    std::string text_;
    std::size_t pieceBytes_;
    std::size_t offset_ = 0;
};

inline std::vector<ScannedElement> Scan(std::string kml)
{
    StringSource source(std::move(kml));
    RecordingSink sink;
    kml::ScanKml(source, "test.kml", sink);
    return sink.elements;
}

// A fresh folder for the files of one test, removed afterwards.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "keldarn-kml-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path Write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a shell command and returns what it printed; empty when it could not run.
inline std::string CommandOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    if (!pipe)
        return output;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        output.append(buffer, count);
    return output;
}

}  // namespace keldarn::cad::testing
