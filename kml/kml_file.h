#pragma once

// A .kml or .kmz file read whole, as Google Earth shows it: the main document (see
// OpenKmlInput), and at the place of each of its NetworkLinks the KML entry of the same
// archive that the link names (see LinkedEntry), read the same way. GDAL's LIBKML driver
// writes a KMZ as a doc.kml of NetworkLinks only, one to each layer file under layers/;
// Google Earth writes its placemarks into doc.kml itself. Every reader of KML (the
// drawing conversion, the map overlay, areas and routes, the command line) reads through
// here, so that they all see the same geometry in the same order.
//
// Links to anything outside the archive (addresses, loopback included; absolute paths;
// paths above the archive's root; files beside a plain .kml) are counted and never
// followed. Each entry is read at most once, so links in a circle end. At most
// kMaxNestedLinks linked documents are open inside one another; an entry linked deeper
// than that is read after the document where the chain began, so a chain of any length
// ends and memory stays that of a few streaming readers.

#include "kml/kml_input.h"
#include "kml/kml_parser.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace keldarn::kml {

inline constexpr std::size_t kMaxNestedLinks = 4;

struct KmlFileSummary {
    KmlFeatureCounts counts;    // summed over every document read
    std::size_t documents = 0;  // the main document and each linked entry read
    // NetworkLinks not followed, and the address of the first in document order,
    // shortened to about 200 bytes for a message.
    std::size_t outsideLinks = 0;
    std::string firstOutsideLink;
};

// Called before each piece of any document is read: bytesRead, the bytes of the
// documents read so far (uncompressed); fileBytes, the size of a plain .kml file, 0 for
// a KMZ, whose linked entries are found only while it is read. It may throw to stop the
// reading; what it throws goes through ScanKmlFile unchanged.
using KmlReadWatch = std::function<void(std::uint64_t bytesRead, std::uint64_t fileBytes)>;

// Passes every coordinate element and track of the file to `sink`, in document order,
// each as soon as it is read. The sink's OnNetworkLink is not called: the links are
// followed here. Throws KmlError as OpenKmlInput (under `limits`) and ScanKml do, naming
// the archive and its entry ("a.kmz（layers/area.kml）"); what was passed on before stays
// passed on.
KmlFileSummary ScanKmlFile(const std::filesystem::path& path, KmlGeometrySink& sink,
                           const KmlReadWatch& watch = {}, const KmlReadLimits& limits = {});

}  // namespace keldarn::kml
