// DXF loading into the drawing: any bytes as the file ReadDxfFile reads, and a drawing
// that loads saved and loaded again.
//
// Findings: a crash or sanitizer report (dxflib included); an exception other than
// DxfError; a message that does not name the file or is not UTF-8; a drawing whose own
// DXF file does not load, or loads with other entities: counts (old-style polylines come
// back as lightweight ones), coordinates bit for bit (the writer's promise for finite
// ones) and texts (cut only where too long for a DXF value).

#include "cad/dxf_reader.h"
#include "cad/dxf_text.h"
#include "cad/dxf_writer.h"
#include "fuzz/fuzz_support.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

using namespace keldarn;
using fuzz::Require;

namespace {

bool SameCoordinate(double a, double b)
{
    // Values that are not finite are written as 0.
    if (!std::isfinite(a))
        return b == 0.0;
    return std::memcmp(&a, &b, sizeof a) == 0 || (a == 0.0 && b == 0.0);
}

void CheckSameDrawing(const cad::DrawingModel& saved, const cad::DrawingModel& loaded)
{
    Require(loaded.Points().size() == saved.Points().size(), "points lost or gained");
    Require(loaded.Texts().size() == saved.Texts().size(), "texts lost or gained");
    // Old-style 2-D polylines are saved as lightweight ones.
    const auto oldStyle = static_cast<std::size_t>(
        std::count_if(saved.Others().begin(), saved.Others().end(),
                      [](const cad::DrawingOther& other) { return other.kind == cad::OtherKind::Polyline2d; }));
    Require(loaded.Polylines().size() == saved.Polylines().size() + oldStyle, "polylines lost or gained");
    Require(loaded.Others().size() == saved.Others().size() - oldStyle, "other entities lost or gained");
    for (std::size_t i = 0; i < saved.Points().size(); ++i) {
        const cad::DrawingPoint& a = saved.Points()[i];
        const cad::DrawingPoint& b = loaded.Points()[i];
        Require(SameCoordinate(a.x, b.x) && SameCoordinate(a.y, b.y) && SameCoordinate(a.z, b.z),
                "a point moved");
    }
    for (std::size_t i = 0; i < saved.Texts().size(); ++i) {
        const cad::DrawingText& a = saved.Texts()[i];
        const cad::DrawingText& b = loaded.Texts()[i];
        Require(SameCoordinate(a.x, b.x) && SameCoordinate(a.y, b.y), "a text moved");
        // A text too long for a DXF value is saved cut after a whole character.
        const std::string_view before = saved.TextOf(a);
        const std::string_view after = loaded.TextOf(b);
        const bool same = cad::DxfTextFits(before) ? after == before
                                                   : before.starts_with(after) && after.size() < before.size();
        Require(same, "a text changed: '" + std::string(before) + "' became '" + std::string(after) + "'");
    }
    // The writer puts the other entities, old-style polylines among them, before the
    // lightweight polylines.
    std::vector<std::span<const double>> expected;
    for (const cad::DrawingOther& other : saved.Others()) {
        if (other.kind == cad::OtherKind::Polyline2d)
            expected.push_back(saved.VerticesOf(other));
    }
    for (const cad::DrawingPolyline& polyline : saved.Polylines())
        expected.push_back(saved.VerticesOf(polyline));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto a = expected[i];
        const auto b = loaded.VerticesOf(loaded.Polylines()[i]);
        Require(a.size() == b.size(), "a polyline lost or gained vertices");
        for (std::size_t v = 0; v < a.size(); ++v)
            Require(SameCoordinate(a[v], b[v]), "a polyline vertex moved");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile input("drawing.dxf");
    static fuzz::MemoryFile saved("saved.dxf");
    input.Replace(data, size);
    const QString path = QString::fromStdString(input.path());
    cad::DrawingModel drawing;
    try {
        drawing = cad::ReadDxfFile(path);
    } catch (const cad::DxfError& error) {
        fuzz::CheckMessage(error.what(), input.path());
        return 0;
    }
    const std::string bytes = cad::DxfBytes(drawing);
    saved.Replace(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    try {
        CheckSameDrawing(drawing, cad::ReadDxfFile(QString::fromStdString(saved.path())));
    } catch (const cad::DxfError& error) {
        fuzz::Finding(std::string("the drawing's own file does not load: ") + error.what());
    }
    return 0;
}
