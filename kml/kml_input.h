#pragma once

// The bytes of a KML document: a .kml file, or a document inside a .kmz (a zip archive
// of KML and its images), read piece by piece so that a file of any size fits in a fixed
// amount of memory.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace keldarn::kml {

class KmlByteSource {
public:
    virtual ~KmlByteSource() = default;
    // Reads up to `capacity` bytes into `buffer`; returns 0 only at the end of the
    // document. Throws KmlError when the bytes cannot be read.
    virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
};

// A .kmz archive open for reading, shared by the documents read from it.
class KmzArchive;

inline constexpr std::uint64_t kDefaultKmzEntryMB = 1024;

// Bounds of a reading that nothing a file states can raise.
struct KmlReadLimits {
    // What one entry of a .kmz may inflate to, in MB of 2^20 bytes (the settings file's
    // [KML] KmzEntryMB). A zip states the size of each entry, but a crafted archive states
    // what it likes (a few MB of deflated repeats inflate a thousandfold): the bytes are
    // counted as they are inflated, and the entry is refused at the first byte beyond.
    std::uint64_t kmzEntryMB = kDefaultKmzEntryMB;
};

struct KmlInput {
    std::unique_ptr<KmlByteSource> source;
    // How messages name the document: "a.kml", or "a.kmz（doc.kml）" for an archive.
    std::string displayName;
    // Inside a .kmz: the entry read ("doc.kml", "layers/a.kml") and its archive. Empty
    // and null for a plain .kml file.
    std::string entryName;
    std::shared_ptr<KmzArchive> archive;
};

// Opens `path` for reading. A zip archive is recognised by its signature, whatever the
// file is called (KMZ files are often renamed); its main document is "doc.kml" at the
// root, or else the first *.kml entry at the root, as Google Earth takes it. Throws
// KmlError when the file cannot be opened or the archive holds no KML. Every entry read
// from the archive, the linked ones too, reads under `limits`: an entry that inflates
// beyond limits.kmzEntryMB throws KmlError naming the archive, the entry and the bound.
KmlInput OpenKmlInput(const std::filesystem::path& path, const KmlReadLimits& limits = {});

// The archive entry that the href of a NetworkLink in `from` names: a relative path,
// resolved against the folder of from's entry, to a *.kml entry of the same archive
// ("b.kml" in "layers/a.kml" gives "layers/b.kml"; the letter case of the name need not
// match). Empty for every other link, which is not to be followed: an address
// ("http://…"), an absolute path, a path above the archive's root, an entry that is
// missing or not KML, and any link of a plain .kml file, which would lead to other files.
std::string LinkedEntry(const KmlInput& from, std::string_view href);

// Opens an entry that LinkedEntry gave, from the archive of `from`, under the limits the
// archive was opened with. Throws KmlError when it cannot be read.
KmlInput OpenLinkedEntry(const KmlInput& from, const std::string& entryName);

}  // namespace keldarn::kml
