#pragma once

// The routes and areas of a KML or KMZ file, as a surveyor chooses one for a profile or a
// sampling boundary: every open coordinate element of two or more vertices is a route
// (LineString, track, or the line of a MultiGeometry), and every closed ring (first
// vertex repeated at the end, three others at least) is an area. Rings that follow an area
// of the same placemark and lie inside its first ring are its holes.

#include "geodesy/coordinates.h"
#include "kml/kml_input.h"

#include <filesystem>
#include <string>
#include <vector>

namespace keldarn::kml {

struct KmlShape {
    std::string name;  // the placemark's name, UTF-8; may be empty
    bool isArea = false;
    // A route has one ring, its line; an area has its outer ring first, then its holes,
    // each without the repeated vertex.
    std::vector<geodesy::GeoRing> rings;
};

// In document order, a .kmz's linked layers included (see ScanKmlFile). Throws KmlError
// as ScanKmlFile does.
std::vector<KmlShape> ReadKmlShapes(const std::filesystem::path& path, const KmlReadLimits& limits = {});

// How a list offers a shape: its name (or "未命名"), kind and vertex count, e.g.
// "渠线（路线，12个顶点）".
std::string DescribeKmlShape(const KmlShape& shape);

}  // namespace keldarn::kml
