#pragma once

// The routes or areas of a KML/KMZ file that a terrain command can start from, as the user
// chooses among them: the window offers a list, keldarn-cli takes one by name or the first.

#include "kml/kml_shapes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace keldarn::ops {

// The routes (area false) or areas (area true) of the file, in document order. Throws
// survey::SurveyInputError naming the file when it holds none, kml::KmlError as
// kml::ReadKmlShapes.
std::vector<kml::KmlShape> KmlShapesOfKind(const std::filesystem::path& path, bool area,
                                           const kml::KmlReadLimits& limits);

// The name a shape goes by (in the point table with a profile's rows): its placemark's,
// else the file's name without its extension.
std::string ShapeName(const kml::KmlShape& shape, const std::filesystem::path& path);

}  // namespace keldarn::ops
