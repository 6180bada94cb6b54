#pragma once

// Streaming reader of the geometry of a KML document, with the name of the placemark
// each belongs to.
//
// Names: the first <name> child of a <Placemark> is its name, trimmed. A placemark
// without one has the empty name, and so has anything outside a placemark: the name of
// another placemark, the document or a folder is never taken.
//
// Coordinates: every <coordinates> element, wherever it stands (Point, LineString,
// each ring of a Polygon, inside MultiGeometry), is one element. Its tuples
// "lon,lat[,alt]" are separated by any run of white space; the altitude and anything
// after it is ignored. Elements of other namespaces (Atom, xAL, ...) and elements in
// comments play no part; KML 2.0–2.3 namespaces, with or without a prefix, do.
//
// Tracks: every <gx:Track> (alone or in a gx:MultiTrack) is one element of its
// <gx:coord> positions "lon lat [alt]", separated by white space; <when>, <gx:angles>
// and the rest are ignored. KML 2.3's <Track> and <coord> are read alike.
//
// Links: the <href> of a <NetworkLink>'s <Link> (<Url> in KML 2.0) is passed on as
// written, trimmed; whether to follow it is the sink's choice.

#include "kml/kml_input.h"

#include <cstddef>
#include <string>
#include <vector>

namespace keldarn::kml {

class KmlGeometrySink {
public:
    virtual ~KmlGeometrySink() = default;
    // One coordinate element with at least one vertex, in file order.
    // lonLatDeg: longitude, latitude of each vertex in turn (degrees); the sink may
    // change or reuse the vector. placemarkName: the placemark's name, UTF-8, empty
    // when it has none.
    virtual void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) = 0;
    // One track with at least one position, in the same form; by default it is taken
    // as a coordinate element.
    virtual void OnTrack(std::vector<double>& lonLatDeg, const std::string& placemarkName)
    {
        OnCoordinates(lonLatDeg, placemarkName);
    }
    // The href of a NetworkLink, UTF-8, not empty.
    virtual void OnNetworkLink(const std::string& /*href*/) {}
};

// What a document holds besides its geometry, for telling the user why nothing was drawn.
struct KmlFeatureCounts {
    std::size_t placemarks = 0;
    std::size_t models = 0;    // <Model>: 3D models, not drawn
    std::size_t overlays = 0;  // Ground-, Photo- and ScreenOverlay: images, not drawn
};

// Reads the document from `source` to its end, passing each coordinate element and
// track to `sink` as soon as its end tag is read. Throws KmlError naming `displayName`
// and the line for malformed XML, a coordinate that is not a number, a latitude beyond
// ±90° or a longitude beyond ±180°, an encoding error, a name or link over 4 MB,
// nesting deeper than 100,000 elements, or a single tag or comment over 16 MB; the
// elements passed on before stay passed on. What the sink throws goes through unchanged.
KmlFeatureCounts ScanKml(KmlByteSource& source, const std::string& displayName, KmlGeometrySink& sink);

}  // namespace keldarn::kml
