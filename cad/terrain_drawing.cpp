#include "cad/terrain_drawing.h"

#include "cad/drawing_geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace keldarn::cad {

namespace {

// Brown as contours are printed on topographic maps, index contours stronger: AutoCAD colours
// 33 (tan) and 32 (brown-orange), both readable on a dark and on a white background. Line
// weights 0.15 mm and 0.30 mm, hundredths of a millimetre as DXF has them.
const LayerRecord kOrdinaryLayer{kOrdinaryContourLayer, 0, 33, -1, 15, "CONTINUOUS"};
const LayerRecord kIndexLayer{kIndexContourLayer, 0, 32, -1, 30, "CONTINUOUS"};
const LayerRecord kPointLayer{kElevationPointLayer, 0, 7, -1, -1, "CONTINUOUS"};

// Labels along an index contour: one per this many label heights of line length.
constexpr double kLabelSpacingHeights = 200.0;
// A line shorter than its spacing still gets one label when it is this many label widths long.
constexpr double kMinLabelledWidths = 3.0;
// Beyond this a label height is taken for a mistake (a millimetre on a line of kilometres).
constexpr double kMaxLabelsPerLine = 1e5;

// Adds the layer unless the drawing has one of that name; returns the style of its entities
// (everything BYLAYER).
std::uint32_t LayerStyle(DrawingModel& model, const LayerRecord& layer)
{
    const auto& layers = model.Layers();
    if (std::none_of(layers.begin(), layers.end(),
                     [&](const LayerRecord& l) { return l.name == layer.name; }))
        model.SetLayer(layer);
    EntityStyle style;
    style.layer = layer.name;
    return model.InternStyle(style);
}

// `decimals` places, "-" only when the rounded value is not zero.
std::string Fixed(double value, int decimals)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    std::string fixed(text, end);
    if (fixed.front() == '-' && fixed.find_first_not_of("-0.") == std::string::npos)
        fixed.erase(0, 1);
    return fixed;
}

// A contour's height: whole metres without decimals, else up to two ("12.5", "7.25").
std::string HeightLabel(double elevationM)
{
    std::string text = Fixed(elevationM, 2);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

// A polyline measured along its length: cumulative distance at each vertex.
class Walk {
public:
    explicit Walk(std::span<const double> xy) : xy_(xy), distance_(xy.size() / 2, 0.0)
    {
        for (std::size_t i = 1; i < distance_.size(); ++i)
            distance_[i] = distance_[i - 1] + std::hypot(X(i) - X(i - 1), Y(i) - Y(i - 1));
    }

    double Length() const { return distance_.empty() ? 0.0 : distance_.back(); }

    DrawingXY At(double s) const
    {
        s = std::clamp(s, 0.0, Length());
        const auto after = std::upper_bound(distance_.begin() + 1, distance_.end() - 1, s);
        const std::size_t i = static_cast<std::size_t>(after - distance_.begin());
        const double span = distance_[i] - distance_[i - 1];
        const double f = span > 0.0 ? (s - distance_[i - 1]) / span : 0.0;
        return {X(i - 1) + f * (X(i) - X(i - 1)), Y(i - 1) + f * (Y(i) - Y(i - 1))};
    }

private:
    double X(std::size_t i) const { return xy_[2 * i]; }
    double Y(std::size_t i) const { return xy_[2 * i + 1]; }

    std::span<const double> xy_;
    std::vector<double> distance_;
};

// Direction of the chord a → b, turned by half a turn where needed so that text along it
// reads left to right or bottom to top: within (−90°, 90°].
double UprightAngleRad(DrawingXY a, DrawingXY b)
{
    double angle = std::atan2(b.y - a.y, b.x - a.x);
    if (angle > std::numbers::pi / 2)
        angle -= std::numbers::pi;
    else if (angle <= -std::numbers::pi / 2)
        angle += std::numbers::pi;
    return angle;
}

void LabelContour(DrawingModel& model, const ContourPolyline& line, double heightM, std::uint32_t style)
{
    const std::string label = HeightLabel(line.elevationM);
    const double widthM = EstimatedWidthEm(label) * heightM;
    const Walk walk(line.xy);
    const double length = walk.Length();
    const double spacings = length / (kLabelSpacingHeights * heightM);
    if (!(heightM > 0.0 && spacings < kMaxLabelsPerLine))
        return;
    int count = static_cast<int>(spacings);
    if (count == 0 && length >= kMinLabelledWidths * widthM)
        count = 1;
    for (int k = 0; k < count; ++k) {
        const double s = (k + 0.5) * length / count;
        // Turned along the chord under the text, steadier than the one segment at its centre.
        const DrawingXY centre = walk.At(s);
        DrawingText text;
        text.x = text.alignX = centre.x;
        text.y = text.alignY = centre.y;
        text.z = text.alignZ = line.elevationM;
        text.heightM = heightM;
        text.rotationRad = UprightAngleRad(walk.At(s - widthM / 2), walk.At(s + widthM / 2));
        text.hJust = 1;  // centre
        text.vJust = 2;  // middle
        text.style = style;
        model.AddText(text, label);
    }
}

}  // namespace

void DrawContours(DrawingModel& model, std::span<const ContourPolyline> lines, double labelHeightM)
{
    const std::uint32_t ordinary = LayerStyle(model, kOrdinaryLayer);
    const std::uint32_t index = LayerStyle(model, kIndexLayer);
    for (const ContourPolyline& line : lines) {
        if (line.xy.size() < 4)
            continue;
        model.AddPolyline(line.xy, false, {}, line.isIndex ? index : ordinary, line.elevationM);
        if (line.isIndex)
            LabelContour(model, line, labelHeightM, index);
    }
}

void DrawElevationPoints(DrawingModel& model, std::span<const ElevationPointEntry> points, int decimals,
                         double textHeightM)
{
    const std::uint32_t style = LayerStyle(model, kPointLayer);
    decimals = std::clamp(decimals, 0, 6);
    for (const ElevationPointEntry& point : points) {
        model.AddPoint(point.x, point.y, point.h, style);
        DrawingText text;
        text.x = point.x + 0.5 * textHeightM;
        text.y = point.y - 0.5 * textHeightM;
        text.z = point.h;
        text.heightM = textHeightM;
        text.style = style;
        model.AddText(text, Fixed(point.h, decimals));
    }
}

}  // namespace keldarn::cad
