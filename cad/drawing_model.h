#pragma once

// The drawing shown by the drawing window: points, single-line texts and lightweight
// polylines (what the conversions add and pick), plus the other entities of a loaded
// DXF file (lines, circles, arcs, ellipses, 2-D polylines), which are shown and saved
// again but never picked. Coordinates are drawing units, metres: x is the easting, y
// the northing. Texts are UTF-8.
//
// Entities are plain records in one vector per kind; the characters of all texts live in
// one pool and the vertices of all polylines in another, so adding an entity costs no
// allocation of its own and a drawing of a million entities stays compact.

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace keldarn::cad {

struct DrawingXY {
    double x = 0.0;
    double y = 0.0;
};

// An axis-parallel box; empty (min > max) until something is added.
struct DrawingBox {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();

    bool IsEmpty() const { return minX > maxX || minY > maxY; }
    void Add(double x, double y);
    void Add(const DrawingBox& other);
    bool Intersects(const DrawingBox& other) const;
    bool Contains(const DrawingBox& other) const;
};

// Layer, colour and linetype of an entity as DXF gives them. Entry 0 of the model's
// table is what new entities get: layer "0", colour and linetype BYLAYER.
struct EntityStyle {
    std::string layer = "0";
    int color = 256;      // AutoCAD colour index; 256 BYLAYER, 0 BYBLOCK
    int color24 = -1;     // 0xRRGGBB, or -1 for none
    int lineWeight = -1;  // hundredths of a millimetre; -1 BYLAYER
    std::string linetype = "BYLAYER";
    double linetypeScale = 1.0;

    bool operator==(const EntityStyle&) const = default;
};

struct LayerRecord {
    std::string name;
    int flags = 0;  // 1 frozen, 4 locked
    int color = 7;  // negative: the layer is off
    int color24 = -1;
    int lineWeight = -1;
    std::string linetype = "CONTINUOUS";
};

struct TextStyleRecord {
    std::string name;
    int flags = 0;
    double fixedHeightM = 0.0;
    double widthFactor = 1.0;
    double obliqueAngleDeg = 0.0;
    int generationFlags = 0;
    double lastHeightM = 2.5;
    std::string fontFile;
    std::string bigFontFile;
};

struct LinetypeRecord {
    std::string name;
    std::string description;
    int flags = 0;
    double patternLengthM = 0.0;
    std::vector<double> dashesM;  // positive dash, negative gap, 0 dot
};

inline constexpr std::uint32_t kNoBulges = std::numeric_limits<std::uint32_t>::max();

struct DrawingPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    std::uint32_t style = 0;
};

// A single-line text. Justification codes are DXF's: hJust (72) 0 left, 1 centre,
// 2 right, 3 aligned, 4 middle, 5 fit; vJust (73) 0 baseline, 1 bottom, 2 middle, 3 top.
// A justified text stands at its alignment point, a left/baseline one at (x, y).
struct DrawingText {
    double x = 0.0;  // insertion point, metres
    double y = 0.0;
    double z = 0.0;
    double heightM = 0.0;
    double rotationRad = 0.0;  // counter-clockwise from the x axis
    double alignX = 0.0;       // second alignment point, metres
    double alignY = 0.0;
    double alignZ = 0.0;
    double widthFactor = 1.0;
    float widthEm = 0.0f;          // estimated width in units of the height, width factor included
    std::uint32_t textOffset = 0;  // UTF-8 bytes in the model's text pool
    std::uint32_t textLength = 0;
    std::uint32_t style = 0;
    std::uint16_t textStyle = 0;  // index into TextStyles(); 0 is "Standard"
    std::uint8_t hJust = 0;
    std::uint8_t vJust = 0;
    std::uint8_t generationFlags = 0;
};

struct DrawingPolyline {
    std::uint32_t firstVertex = 0;  // index of the first (x, y) pair in the vertex pool
    std::uint32_t vertexCount = 0;
    std::uint32_t firstBulge = kNoBulges;  // one bulge per vertex in the bulge pool, or none
    std::uint32_t style = 0;
    bool closed = false;
    double elevation = 0.0;  // height of the polyline's plane (DXF group 38), metres
};

enum class OtherKind : std::uint8_t { Line, Circle, Arc, Ellipse, Polyline2d };

// An entity of a loaded file that is shown and saved but not picked. Parameters by kind:
//   Line      x1 y1 z1 x2 y2 z2
//   Circle    cx cy cz radius
//   Arc       cx cy cz radius startDeg endDeg (counter-clockwise)
//   Ellipse   cx cy cz majorX majorY majorZ ratio startParamRad endParamRad
//   Polyline2d  elevation (the plane's height, metres); vertices and bulges in the pools, as for
//               DrawingPolyline
struct DrawingOther {
    OtherKind kind = OtherKind::Line;
    std::uint32_t style = 0;
    std::array<double, 9> p{};
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t firstBulge = kNoBulges;
    bool closed = false;
    DrawingBox box;  // extents, set by the model
};

enum class EntityKind : std::uint8_t { Point, Text, Polyline, Other };

struct EntityRef {
    EntityKind kind = EntityKind::Point;
    std::uint32_t index = 0;

    bool operator==(const EntityRef&) const = default;
};

class DrawingModel {
public:
    DrawingModel();

    void AddPoint(double x, double y, double z, std::uint32_t style = 0);
    // A left/baseline text without rotation, as the conversions add them.
    void AddText(std::string_view utf8, double x, double y, double z, double heightM);
    // A text with every field of `text` but its pool position, which the model sets.
    void AddText(const DrawingText& text, std::string_view utf8);
    // xy holds x0, y0, x1, y1, ...; bulges is empty or holds one value per vertex; elevation
    // (metres) is the height of the polyline's plane.
    void AddPolyline(std::span<const double> xy, bool closed, std::span<const double> bulges = {},
                     std::uint32_t style = 0, double elevation = 0.0);
    void AddOther(DrawingOther other, std::span<const double> xy = {}, std::span<const double> bulges = {});

    const std::vector<DrawingPoint>& Points() const { return points_; }
    const std::vector<DrawingText>& Texts() const { return texts_; }
    const std::vector<DrawingPolyline>& Polylines() const { return polylines_; }
    const std::vector<DrawingOther>& Others() const { return others_; }
    std::size_t EntityCount() const;

    std::string_view TextOf(const DrawingText& text) const;
    // 2n values x0, y0, x1, y1, ... of n vertices.
    std::span<const double> VerticesOf(const DrawingPolyline& polyline) const;
    std::span<const double> VerticesOf(const DrawingOther& other) const;
    // n bulges, or empty when every segment is straight.
    std::span<const double> BulgesOf(const DrawingPolyline& polyline) const;
    std::span<const double> BulgesOf(const DrawingOther& other) const;

    // Extents of every entity (texts by their estimated boxes); empty for an empty drawing.
    const DrawingBox& Extents() const { return extents_; }

    double LtScale() const { return ltScale_; }
    void SetLtScale(double ltScale);
    // A drawing variable by name, without regard to case; nullopt for a name the drawing
    // does not know. Known: LTSCALE.
    std::optional<double> Variable(std::string_view name) const;

    // The style table; equal styles share one entry.
    std::uint32_t InternStyle(const EntityStyle& style);
    const std::vector<EntityStyle>& Styles() const { return styles_; }

    // DXF tables of a loaded file, written back on save. Layer "0" and text style
    // "Standard" are always present.
    const std::vector<LayerRecord>& Layers() const { return layers_; }
    void SetLayer(const LayerRecord& layer);  // adds, or replaces the layer of that name
    const std::vector<TextStyleRecord>& TextStyles() const { return textStyles_; }
    std::uint16_t SetTextStyle(const TextStyleRecord& style);  // its index
    // Index of the text style of that name (case ignored), 0 when there is none.
    std::uint16_t TextStyleIndex(std::string_view name) const;
    const std::vector<LinetypeRecord>& Linetypes() const { return linetypes_; }
    void SetLinetype(const LinetypeRecord& linetype);

    // What a DXF save of this drawing cannot keep (content of a loaded file that the
    // drawing does not hold): description → count.
    const std::map<std::string, std::size_t>& Unsaved() const { return unsaved_; }
    void NoteUnsaved(const std::string& what, std::size_t count = 1);

    // Grows with every change; the window compares it with the revision last saved.
    std::uint64_t Revision() const { return revision_; }

private:
    std::uint32_t AppendVertices(std::span<const double> xy);
    std::uint32_t AppendBulges(std::span<const double> bulges, std::size_t vertexCount);

    std::vector<DrawingPoint> points_;
    std::vector<DrawingText> texts_;
    std::vector<DrawingPolyline> polylines_;
    std::vector<DrawingOther> others_;
    std::string textPool_;
    std::vector<double> vertexPool_;
    std::vector<double> bulgePool_;
    DrawingBox extents_;
    double ltScale_ = 1.0;
    std::vector<EntityStyle> styles_;
    std::vector<LayerRecord> layers_;
    std::vector<TextStyleRecord> textStyles_;
    std::vector<LinetypeRecord> linetypes_;
    std::map<std::string, std::size_t> unsaved_;
    std::uint64_t revision_ = 0;
};

}  // namespace keldarn::cad
