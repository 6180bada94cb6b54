#include "kml/kml_shapes.h"

#include "i18n/interface_text.h"
#include "kml/kml_file.h"

namespace keldarn::kml {

namespace {

// Even–odd rule in the plane of longitude and latitude: whether the point lies inside the ring.
bool InsideRing(const geodesy::GeoRing& ring, const geodesy::GeoPoint& point)
{
    const double lon = point.lonDeg, lat = point.latDeg;
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const double ui = ring[i].lonDeg, vi = ring[i].latDeg;
        const double uj = ring[j].lonDeg, vj = ring[j].latDeg;
        if ((vi > lat) != (vj > lat) && lon < (uj - ui) * (lat - vi) / (vj - vi) + ui)
            inside = !inside;
    }
    return inside;
}

class ShapeSink : public KmlGeometrySink {
public:
    void OnCoordinates(std::vector<double>& lonLat, const std::string& placemarkName) override
    {
        const std::size_t n = lonLat.size() / 2;
        if (n < 2)
            return;  // a point is neither route nor area
        const bool closed = n >= 4 && lonLat[0] == lonLat[2 * n - 2] && lonLat[1] == lonLat[2 * n - 1];
        geodesy::GeoRing ring;
        const std::size_t kept = closed ? n - 1 : n;
        ring.reserve(kept);
        for (std::size_t k = 0; k < kept; ++k)
            ring.push_back({.latDeg = lonLat[2 * k + 1], .lonDeg = lonLat[2 * k]});
        if (closed && !shapes.empty() && shapes.back().isArea && shapes.back().name == placemarkName &&
            InsideRing(shapes.back().rings.front(), ring[0])) {
            shapes.back().rings.push_back(std::move(ring));  // a hole of the area before
            return;
        }
        KmlShape& shape = shapes.emplace_back();
        shape.name = placemarkName;
        shape.isArea = closed;
        shape.rings.push_back(std::move(ring));
    }
    std::vector<KmlShape> shapes;
};

}  // namespace

std::vector<KmlShape> ReadKmlShapes(const std::filesystem::path& path, const KmlReadLimits& limits)
{
    ShapeSink sink;
    ScanKmlFile(path, sink, {}, limits);
    return std::move(sink.shapes);
}

std::string DescribeKmlShape(const KmlShape& shape)
{
    std::size_t vertices = 0;
    for (const auto& ring : shape.rings)
        vertices += ring.size();
    const std::string name = shape.name.empty() ? i18n::Translate("kml", "未命名") : shape.name;
    const std::string count = std::to_string(vertices);
    if (shape.rings.size() > 1) {
        const std::string holes = std::to_string(shape.rings.size() - 1);
        return i18n::Format(shape.isArea ? i18n::Translate("kml", "%1（区域，%2个顶点，%3个洞）")
                                         : i18n::Translate("kml", "%1（路线，%2个顶点，%3个洞）"),
                            {name, count, holes});
    }
    return i18n::Format(shape.isArea ? i18n::Translate("kml", "%1（区域，%2个顶点）")
                                     : i18n::Translate("kml", "%1（路线，%2个顶点）"),
                        {name, count});
}

}  // namespace keldarn::kml
