#pragma once

// Streaming reader of the coordinate elements of a KML document, with the name of the
// placemark each belongs to.
//
// Names: a <Placemark> start tag (any attributes) arms the name; the first <name>
// element after it becomes the current name and disarms it. The current name is not
// reset at a new placemark, so a placemark without a name reuses the name taken
// before it (empty before any), and the document's or a folder's <name> before the
// first placemark is never taken.
//
// Coordinates: every <coordinates> element, wherever it stands (Point, LineString,
// each ring of a Polygon, inside MultiGeometry), is one element. Its tuples
// "lon,lat[,alt]" are separated by any run of white space; the altitude and anything
// after it is ignored. Elements of other namespaces (Atom, xAL, ...) and elements in
// comments play no part; KML 2.0–2.2 namespaces, with or without a prefix, do.

#include "cad/kml_input.h"

#include <string>
#include <vector>

namespace keldarn::cad {

class KmlGeometrySink {
public:
    virtual ~KmlGeometrySink() = default;
    // One coordinate element with at least one vertex, in file order.
    // lonLatDeg: longitude, latitude of each vertex in turn (degrees); the sink may
    // change or reuse the vector. placemarkName: the current name, UTF-8.
    virtual void OnCoordinates(std::vector<double>& lonLatDeg, const std::string& placemarkName) = 0;
};

// Reads the document from `source` to its end, passing each coordinate element to
// `sink` as soon as its end tag is read. Throws KmlError naming `displayName` and the
// line for malformed XML, a coordinate that is not a number, a latitude beyond ±90° or a
// longitude beyond ±180°,
// an encoding error, a name over 4 MB, nesting deeper than 100,000 elements, or a
// single tag or comment over 16 MB; the elements passed on before stay passed on.
// What the sink throws goes through unchanged.
void ScanKml(KmlByteSource& source, const std::string& displayName, KmlGeometrySink& sink);

}  // namespace keldarn::cad
