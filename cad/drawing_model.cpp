#include "cad/drawing_model.h"

#include "cad/drawing_geometry.h"
#include "i18n/interface_text.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace keldarn::cad {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char l, char r) {
               return std::toupper(static_cast<unsigned char>(l)) ==
                      std::toupper(static_cast<unsigned char>(r));
           });
}

// Pool positions are 32-bit to keep the entity records small.
std::uint32_t PoolIndex(std::size_t size, std::size_t adding)
{
    if (size + adding > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error(i18n::Translate("cad", "图形过大：文字或顶点的总量超出了图形窗口的上限。"));
    return static_cast<std::uint32_t>(size);
}

}  // namespace

void DrawingBox::Add(double x, double y)
{
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
}

void DrawingBox::Add(const DrawingBox& other)
{
    if (other.IsEmpty())
        return;
    Add(other.minX, other.minY);
    Add(other.maxX, other.maxY);
}

bool DrawingBox::Intersects(const DrawingBox& other) const
{
    return !IsEmpty() && !other.IsEmpty() && minX <= other.maxX && other.minX <= maxX && minY <= other.maxY &&
           other.minY <= maxY;
}

bool DrawingBox::Contains(const DrawingBox& other) const
{
    return !IsEmpty() && !other.IsEmpty() && minX <= other.minX && other.maxX <= maxX && minY <= other.minY &&
           other.maxY <= maxY;
}

DrawingModel::DrawingModel()
{
    styles_.emplace_back();
    layers_.push_back(LayerRecord{"0"});
    // Other CAD programs show Chinese through the big font of the Standard style.
    TextStyleRecord standard;
    standard.name = "Standard";
    standard.fontFile = "txt";
    standard.bigFontFile = "gbcbig.shx";
    textStyles_.push_back(standard);
}

void DrawingModel::AddPoint(double x, double y, double z, std::uint32_t style)
{
    points_.push_back({x, y, z, style});
    extents_.Add(x, y);
    ++revision_;
}

void DrawingModel::AddText(std::string_view utf8, double x, double y, double z, double heightM)
{
    DrawingText text;
    text.x = x;
    text.y = y;
    text.z = z;
    text.heightM = heightM;
    AddText(text, utf8);
}

void DrawingModel::AddText(const DrawingText& text, std::string_view utf8)
{
    DrawingText added = text;
    added.textOffset = PoolIndex(textPool_.size(), utf8.size());
    added.textLength = static_cast<std::uint32_t>(utf8.size());
    added.widthEm = static_cast<float>(EstimatedWidthEm(utf8) * text.widthFactor);
    textPool_.append(utf8);
    texts_.push_back(added);
    extents_.Add(TextBox(added));
    ++revision_;
}

void DrawingModel::AddPolyline(std::span<const double> xy, bool closed, std::span<const double> bulges,
                               std::uint32_t style, double elevation)
{
    DrawingPolyline polyline;
    polyline.vertexCount = static_cast<std::uint32_t>(xy.size() / 2);
    polyline.firstVertex = AppendVertices(xy);
    polyline.firstBulge = AppendBulges(bulges, polyline.vertexCount);
    polyline.closed = closed;
    polyline.style = style;
    polyline.elevation = elevation;
    polylines_.push_back(polyline);
    extents_.Add(EntityBox(*this, {EntityKind::Polyline, static_cast<std::uint32_t>(polylines_.size() - 1)}));
    ++revision_;
}

void DrawingModel::AddOther(DrawingOther other, std::span<const double> xy, std::span<const double> bulges)
{
    other.vertexCount = static_cast<std::uint32_t>(xy.size() / 2);
    other.firstVertex = AppendVertices(xy);
    other.firstBulge = AppendBulges(bulges, other.vertexCount);
    others_.push_back(other);
    std::vector<DrawingXY> outline;
    AppendOtherPoints(*this, others_.back(), outline);
    DrawingBox box;
    for (const DrawingXY& p : outline)
        box.Add(p.x, p.y);
    others_.back().box = box;
    extents_.Add(box);
    ++revision_;
}

std::uint32_t DrawingModel::AppendVertices(std::span<const double> xy)
{
    const std::uint32_t first = PoolIndex(vertexPool_.size() / 2, xy.size() / 2);
    vertexPool_.insert(vertexPool_.end(), xy.begin(),
                       xy.begin() + static_cast<std::ptrdiff_t>(xy.size() / 2 * 2));
    return first;
}

std::uint32_t DrawingModel::AppendBulges(std::span<const double> bulges, std::size_t vertexCount)
{
    const bool anyArc = std::any_of(bulges.begin(), bulges.end(), [](double b) { return b != 0.0; });
    if (!anyArc || vertexCount == 0)
        return kNoBulges;
    const std::uint32_t first = PoolIndex(bulgePool_.size(), vertexCount);
    bulgePool_.resize(bulgePool_.size() + vertexCount, 0.0);
    std::copy_n(bulges.begin(), std::min(bulges.size(), vertexCount), bulgePool_.begin() + first);
    return first;
}

std::size_t DrawingModel::EntityCount() const
{
    return points_.size() + texts_.size() + polylines_.size() + others_.size();
}

std::string_view DrawingModel::TextOf(const DrawingText& text) const
{
    return std::string_view(textPool_).substr(text.textOffset, text.textLength);
}

std::span<const double> DrawingModel::VerticesOf(const DrawingPolyline& polyline) const
{
    return std::span<const double>(vertexPool_)
        .subspan(std::size_t{polyline.firstVertex} * 2, std::size_t{polyline.vertexCount} * 2);
}

std::span<const double> DrawingModel::VerticesOf(const DrawingOther& other) const
{
    return std::span<const double>(vertexPool_)
        .subspan(std::size_t{other.firstVertex} * 2, std::size_t{other.vertexCount} * 2);
}

std::span<const double> DrawingModel::BulgesOf(const DrawingPolyline& polyline) const
{
    if (polyline.firstBulge == kNoBulges)
        return {};
    return std::span<const double>(bulgePool_).subspan(polyline.firstBulge, polyline.vertexCount);
}

std::span<const double> DrawingModel::BulgesOf(const DrawingOther& other) const
{
    if (other.firstBulge == kNoBulges)
        return {};
    return std::span<const double>(bulgePool_).subspan(other.firstBulge, other.vertexCount);
}

void DrawingModel::SetLtScale(double ltScale)
{
    ltScale_ = ltScale;
    ++revision_;
}

std::optional<double> DrawingModel::Variable(std::string_view name) const
{
    if (EqualNoCase(name, "LTSCALE"))
        return ltScale_;
    return std::nullopt;
}

std::uint32_t DrawingModel::InternStyle(const EntityStyle& style)
{
    const auto found = std::find(styles_.begin(), styles_.end(), style);
    if (found != styles_.end())
        return static_cast<std::uint32_t>(found - styles_.begin());
    styles_.push_back(style);
    return static_cast<std::uint32_t>(styles_.size() - 1);
}

void DrawingModel::SetLayer(const LayerRecord& layer)
{
    const auto found = std::find_if(layers_.begin(), layers_.end(),
                                    [&](const LayerRecord& l) { return EqualNoCase(l.name, layer.name); });
    if (found != layers_.end())
        *found = layer;
    else
        layers_.push_back(layer);
}

std::uint16_t DrawingModel::SetTextStyle(const TextStyleRecord& style)
{
    const auto found = std::find_if(textStyles_.begin(), textStyles_.end(), [&](const TextStyleRecord& s) {
        return EqualNoCase(s.name, style.name);
    });
    if (found != textStyles_.end()) {
        *found = style;
        return static_cast<std::uint16_t>(found - textStyles_.begin());
    }
    if (textStyles_.size() >= std::numeric_limits<std::uint16_t>::max())
        return 0;
    textStyles_.push_back(style);
    return static_cast<std::uint16_t>(textStyles_.size() - 1);
}

std::uint16_t DrawingModel::TextStyleIndex(std::string_view name) const
{
    const auto found = std::find_if(textStyles_.begin(), textStyles_.end(),
                                    [&](const TextStyleRecord& s) { return EqualNoCase(s.name, name); });
    return found == textStyles_.end() ? 0 : static_cast<std::uint16_t>(found - textStyles_.begin());
}

void DrawingModel::SetLinetype(const LinetypeRecord& linetype)
{
    const auto found = std::find_if(linetypes_.begin(), linetypes_.end(), [&](const LinetypeRecord& l) {
        return EqualNoCase(l.name, linetype.name);
    });
    if (found != linetypes_.end())
        *found = linetype;
    else
        linetypes_.push_back(linetype);
}

void DrawingModel::NoteUnsaved(const std::string& what, std::size_t count)
{
    unsaved_[what] += count;
}

}  // namespace keldarn::cad
