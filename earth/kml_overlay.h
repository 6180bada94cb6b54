#pragma once

// A KML or KMZ file read into a map layer of the terrain view.

#include "earth/map_layers.h"
#include "kml/kml_input.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace keldarn::earth {

// Reads a KML or KMZ file into a layer named after the file: each coordinate element (or
// track) of one vertex is a marker named after its placemark, a longer one a polyline,
// closed when its first and last vertex coincide, as polygon rings do (the repeated vertex
// is dropped). Encodings, KMZ archives and NetworkLinks to other documents of the same
// archive are handled as cad::ScanKmlFile handles them.
//
// Throws std::runtime_error (cad::KmlError, whose message names the file, the line and the
// reason) for unreadable input. `cancelled` is polled as the bytes are read; when it answers
// true the reading stops and the result is nullptr. `progress` receives the share of a
// plain KML file's bytes read (0..1), at most about a hundred times; a KMZ reports 1 at
// the end only. limits: what a .kmz's entries may inflate to.
std::shared_ptr<MapLayer> LoadKmlOverlay(const std::filesystem::path& path,
                                         const std::function<bool()>& cancelled = {},
                                         const std::function<void(double)>& progress = {},
                                         const kml::KmlReadLimits& limits = {});

}  // namespace keldarn::earth
