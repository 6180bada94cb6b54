#pragma once

// The bytes of a KML document: a .kml file, or the main document inside a .kmz (a zip
// archive of KML and its images), read piece by piece so that a file of any size fits in
// a fixed amount of memory.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace keldarn::cad {

class KmlByteSource {
public:
    virtual ~KmlByteSource() = default;
    // Reads up to `capacity` bytes into `buffer`; returns 0 only at the end of the
    // document. Throws KmlError when the bytes cannot be read.
    virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
};

struct KmlInput {
    std::unique_ptr<KmlByteSource> source;
    // How messages name the document: "a.kml", or "a.kmz（doc.kml）" for an archive.
    std::string displayName;
};

// Opens `path` for reading. A zip archive is recognised by its signature, whatever the
// file is called (KMZ files are often renamed); its main document is "doc.kml" at the
// root, or else the first *.kml entry at the root, as Google Earth takes it. Throws
// KmlError when the file cannot be opened or the archive holds no KML.
KmlInput OpenKmlInput(const std::filesystem::path& path);

}  // namespace keldarn::cad
