#pragma once

// The settings file "Keldarn.ini": the view of the map window (section GEwin) and the
// four-parameter texts (section GEzbzh) carried from one run to the next. Values are
// kept as the texts the fields show; only the camera is formatted when written.

#include "geodesy/zone_projection.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace keldarn::settings {

inline constexpr const char* kSettingsFileName = "Keldarn.ini";

// The six GEwin texts, as read from the file or typed into the map page.
struct ViewSettingsText {
    std::string latitude = "33.2677";
    std::string longitude = "113.5538";
    std::string altitude = "0";
    std::string range = "3000";
    std::string tilt = "0";
    std::string azimuth = "0";
};

// The five GEzbzh texts, exactly as their fields hold them (never trimmed or checked).
struct FourParamTexts {
    std::string xdis = "0";
    std::string ydis = "0";
    std::string rot = "0";
    std::string sca = "0";
    std::string hdis = "0";

    bool operator==(const FourParamTexts&) const = default;
};

struct StoredSettings {
    ViewSettingsText view;
    FourParamTexts params;
};

// The viewer's camera at close: focus point latitude and longitude (degrees), focus
// altitude (metres), range from focus point to camera (metres), tilt and azimuth
// (degrees).
struct CameraValues {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double altitudeM = 0.0;
    double rangeM = 0.0;
    double tiltDeg = 0.0;
    double azimuthDeg = 0.0;
};

// The camera as the file stores it and the map page shows it: angles to 4 decimals,
// altitude and range in whole metres.
ViewSettingsText FormatCamera(const CameraValues& camera);

// The file could not be written; what() is "Unable to write to <path>", followed on a
// line of its own by the reason when the old file could not be read or is no settings
// file (SettingsFileProblem), so that the user knows why it was left alone.
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const std::filesystem::path& path, const std::string& reason = {});
};

// Where the settings file lives: beside the executable of a build folder; for an
// installed copy (install_layout.h), or when the executable's folder cannot be written,
// in $XDG_CONFIG_HOME/keldarn (~/.config/keldarn). An installed copy never writes under
// its prefix, even when run by a user who could.
std::filesystem::path DefaultSettingsPath(const std::filesystem::path& executableDir);

// The interface language the user chose, section "Interface", key "Language": "zh",
// "en", or empty (none chosen: the system's language). Saving throws SettingsWriteError.
std::string LoadInterfaceLanguage(const std::filesystem::path& path);
void SaveInterfaceLanguage(const std::filesystem::path& path, const std::string& value);

// Why the file at `path` cannot serve as the settings file, for the user: the file and the
// reason (it cannot be read, is a folder, is larger than ProfileFile::kMaxFileBytes, is
// binary, or is text without a "[name]" line). Empty when it reads, or does not exist. Every
// Load function below then gives its defaults, and no Save function replaces the file.
std::string SettingsFileProblem(const std::filesystem::path& path);

// Reads the eleven keys. A missing file, section or key gives the key's default; a key
// present with an empty value gives the empty text. Never throws and never creates the
// file; a file that is no settings file (SettingsFileProblem) counts as missing, and a
// caller that must not pass over it in silence asks SettingsFileProblem first.
StoredSettings LoadSettings(const std::filesystem::path& path);

// The view the viewer was closed on, for it to start there again: the six GEwin texts as
// LoadSettings reads them, or nothing when the file holds none of the six keys (a first
// start, when the viewer starts on its own default view).
std::optional<ViewSettingsText> LoadSavedView(const std::filesystem::path& path);

// `text` with each CR LF, lone CR and lone LF replaced by one blank: a profile value is
// one line, and text pasted into a field can carry line breaks.
std::string LineBreaksAsBlanks(std::string_view text);

// Writes GEwin from the camera (when there is one) and then GEzbzh from the texts, with
// profile semantics: only these keys change, every other line stays as it was. A line
// break in a text is stored as a blank (LineBreaksAsBlanks). The whole file is replaced
// atomically, so a failure leaves the old file untouched and throws SettingsWriteError.
// A file that exists but is no settings file (SettingsFileProblem) is never replaced.
void SaveSettings(const std::filesystem::path& path, const std::optional<CameraValues>& camera,
                  const FourParamTexts& params);

// Writes at close what this run changed: each of the eleven keys whose text now (the
// camera formatted as the file stores it, the parameter texts as SaveSettings writes them)
// differs from its text in `atStart`, the settings LoadSettings read when the run began.
// Every other key keeps what the file holds at this moment, for another copy of the
// program may have saved its own changes meanwhile; a key the file lacks is written too.
// Nothing is written, and false returned, when nothing changed. A view without a camera
// is not written at all. Throws SettingsWriteError as SaveSettings does.
bool SaveChangedSettings(const std::filesystem::path& path, const StoredSettings& atStart,
                         const std::optional<CameraValues>& camera, const FourParamTexts& params);

// The terrain the viewer shows: a DEM file, a folder of tiles or an http(s) address,
// remembered in a section of its own ("Terrain", key "Source"). Empty means the built-in
// demonstration terrain.
std::string LoadTerrainSource(const std::filesystem::path& path);

// Writes only the terrain source (and the cache bound when the file has none yet),
// atomically; throws SettingsWriteError.
void SaveTerrainSource(const std::filesystem::path& path, const std::string& source);

// The memory bound of the DEM's block cache (bytes), key "CacheMB" of the terrain section in
// megabytes: 256 when absent or not a whole number, else clamped to 16..65536.
inline constexpr long kDefaultTerrainCacheMB = 256;
std::size_t LoadTerrainCacheBytes(const std::filesystem::path& path);

// The imagery layer, a section of its own ("Imagery"): Source (a file, folder or service
// address; empty for none), Opacity in percent (0..100, default 100), Visible (1 or 0,
// default 1), CacheMB, the memory bound of the images held (default 256, clamped
// 16..65536), and DiskCacheMB, the bound of the service tiles kept on disk (default 1024,
// clamped 0..1048576). A value that is not a whole number counts as absent.
struct ImagerySettings {
    std::string source;
    int opacityPercent = 100;
    bool visible = true;
    long memoryCacheMB = 256;
    long diskCacheMB = 1024;
};
ImagerySettings LoadImagerySettings(const std::filesystem::path& path);
// Writes Source, Opacity and Visible (and the two bounds when the file has none yet),
// atomically; throws SettingsWriteError.
void SaveImagerySettings(const std::filesystem::path& path, const ImagerySettings& settings);

// How the point table's rows show on the map, a section of its own ("Map", key
// "TablePoints"): Labels, markers with the points' names (the default); Markers, markers
// alone; Off, none but the current row's. The word is read whatever its case and blanks;
// another value counts as absent.
enum class TablePointsOnMap { Labels, Markers, Off };
TablePointsOnMap LoadTablePointsOnMap(const std::filesystem::path& path);
// Writes only that key, atomically; throws SettingsWriteError.
void SaveTablePointsOnMap(const std::filesystem::path& path, TablePointsOnMap shown);

// What one entry of a KMZ archive may inflate to before a reading of KML refuses it, a
// section of its own ("KML", key "KmzEntryMB", megabytes): 1024 when the file, the key or its
// value is absent or blank. A value that is no whole number from 1 to 1048576 gives 1024 too,
// and a problem naming the file, the key and the value.
inline constexpr long kDefaultKmzEntryMB = 1024;
struct KmzEntryLimitSetting {
    long megabytes = kDefaultKmzEntryMB;
    // Empty when the value reads; else for the user, as ProjectionSettings::problem.
    std::string problem;
};
KmzEntryLimitSetting ReadKmzEntryLimit(const std::filesystem::path& path);

// The national system of the survey's plane coordinates, a section of its own
// ("Projection"): Ellipsoid (Program, CGCS2000, WGS84, Xian80, Beijing54), ZoneWidth (3 or
// 6), ZoneNumber (Guess, Without, With: whether Y carries the zone number), and the
// optional WGS84 → datum shift: Datum (1 or 0), DatumDx, DatumDy, DatumDz (metres), DatumRx,
// DatumRy, DatumRz (arc-seconds), DatumScalePpm, DatumConvention (PositionVector or
// CoordinateFrame). Without the section, or a key absent or blank, the program's own
// projection (or the key's default) is used, as before the section existed.
//
// A word is read whatever its case and blanks ("beijing 54", " with "); a number takes '.'
// as its decimal mark, and a comma is refused, for it may as well group thousands. Any
// other value means the file does not say which national system to use.
struct ProjectionSettings {
    geodesy::ProjectionChoice choice;  // the program's own when `problem` is not empty
    // Empty when every value reads; else for the user: the file, then each key and value
    // that does not read with the reason, one a line.
    std::string problem;
};
ProjectionSettings ReadProjectionSettings(const std::filesystem::path& path);
// ReadProjectionSettings(path).choice.
geodesy::ProjectionChoice LoadProjectionChoice(const std::filesystem::path& path);
// Writes the section, atomically; a default choice writes nothing to a file without the
// section (and resets the keys of a file that has it). Throws SettingsWriteError.
void SaveProjectionChoice(const std::filesystem::path& path, const geodesy::ProjectionChoice& choice);

}  // namespace keldarn::settings
