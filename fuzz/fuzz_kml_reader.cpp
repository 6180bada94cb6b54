// The KML reader as the drawing command uses it: any bytes (KML of any encoding, KMZ)
// through DrawKmlFile into a model space that checks what it is given, a KMZ entry bound to
// 1 MB inflated (a few kB of input reach it, so the refusal is reached too, and no input
// inflates for long). Then the same bytes in small pieces through ScanKml: where a piece
// ends must change nothing, neither the elements nor the error.
//
// Findings: a crash or sanitizer report; an exception other than KmlError; a message
// that does not name the file or is not UTF-8; a coordinate that is not finite reaching
// the drawing; different results for whole and piecewise reading.

#include "kml/kml_error.h"
#include "kml/kml_parser.h"
#include "cad/kml_to_drawing.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

using namespace keldarn;
using fuzz::Require;

// One element as the drawing or the scanner got it: its vertex count, and for a single
// vertex the name of its text.
struct Element {
    std::size_t vertices;
    std::string name;
    bool operator==(const Element&) const = default;
};

class CheckingModelSpace : public cad::IAcadModelSpace {
public:
    void AddPoint(const cad::Point3& point) override
    {
        CheckFinite(point.x, point.y);
        textMayFollow_ = true;
        lastPoint_ = point;
        elements.push_back({1, {}});
    }
    void AddText(const std::string& text, const cad::Point3& insertionPoint, double height) override
    {
        Require(textMayFollow_, "a text without its point");
        Require(!text.empty(), "an empty text: a point without a name has none");
        Require(insertionPoint.x == lastPoint_.x && insertionPoint.y == lastPoint_.y, "text away from its point");
        Require(encoding::IsValidUtf8(text), "a name that is not UTF-8 reached the drawing");
        Require(height == 3.0, "text height changed");
        textMayFollow_ = false;
        elements.back().name = text;
    }
    void AddLightWeightPolyLine(const std::vector<double>& vertices) override
    {
        Require(vertices.size() >= 4 && vertices.size() % 2 == 0, "polyline of an odd or single vertex");
        for (std::size_t i = 0; i < vertices.size(); i += 2)
            CheckFinite(vertices[i], vertices[i + 1]);
        textMayFollow_ = false;
        elements.push_back({vertices.size() / 2, {}});
    }

    std::vector<Element> elements;

private:
    bool textMayFollow_ = false;  // right after a point
    cad::Point3 lastPoint_;

    static void CheckFinite(double x, double y)
    {
        Require(std::isfinite(x) && std::isfinite(y), "a coordinate that is not finite reached the drawing");
    }
};

class RecordingSink : public kml::KmlGeometrySink {
public:
    void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) override
    {
        Require(!lonLatDeg.empty() && lonLatDeg.size() % 2 == 0, "an element without whole vertices");
        const std::size_t vertices = lonLatDeg.size() / 2;
        elements.push_back({vertices, vertices == 1 ? placemarkName : std::string()});
    }
    std::vector<Element> elements;
};

// The bytes handed out in pieces of 1 to 13 bytes.
class PieceSource : public kml::KmlByteSource {
public:
    PieceSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(char* buffer, std::size_t capacity) override
    {
        const std::size_t piece = std::min({capacity, size_ - offset_, 1 + (offset_ * 7 + 3) % 13});
        std::memcpy(buffer, data_ + offset_, piece);
        offset_ += piece;
        return piece;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

struct Outcome {
    std::vector<Element> elements;
    std::string error;  // empty when the file was read
};

Outcome ScanInPieces(const std::uint8_t* data, std::size_t size, const std::string& displayName)
{
    Outcome outcome;
    PieceSource source(data, size);
    RecordingSink sink;
    try {
        kml::ScanKml(source, displayName, sink);
    } catch (const kml::KmlError& error) {
        outcome.error = error.what();
    }
    outcome.elements = std::move(sink.elements);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file("fuzz.kml");
    file.Replace(data, size);
    const std::string displayName = std::filesystem::path(file.path()).filename().string();

    CheckingModelSpace drawing;
    const geodesy::FourParamCoefficients transform{};
    Outcome drawn;
    try {
        const cad::KmlDrawSummary summary =
            cad::DrawKmlFile(file.path(), 117.0, transform, 3.0, drawing, kml::KmlReadLimits{1});
        Require(summary.points + summary.polylines == drawing.elements.size(), "summary does not match the drawing");
    } catch (const kml::KmlError& error) {
        fuzz::CheckMessage(error.what(), displayName);
        drawn.error = error.what();
    }
    drawn.elements = std::move(drawing.elements);

    // A zip archive is only recognised in a file; plain KML reads the same in any pieces.
    const bool zip = size >= 2 && data[0] == 'P' && data[1] == 'K';
    if (!zip) {
        const Outcome pieces = ScanInPieces(data, size, displayName);
        Require(pieces.error == drawn.error,
                "piecewise reading fails differently:\n  whole: " + drawn.error + "\n  pieces: " + pieces.error);
        Require(pieces.elements == drawn.elements, "piecewise reading gives other elements");
    }
    return 0;
}
