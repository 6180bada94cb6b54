#include "settings/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <system_error>
#include <vector>

#include "settings/install_layout.h"
#include "settings/profile_file.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"

namespace keldarn::settings {
namespace {

constexpr const char* kViewSection = "GEwin";
constexpr const char* kFourParamSection = "GEzbzh";
constexpr const char* kTerrainSection = "Terrain";
constexpr const char* kTerrainSourceKey = "Source";
constexpr const char* kTerrainCacheKey = "CacheMB";
// Bounds of the block cache a settings file may ask for (MB).
constexpr long kLeastCacheMB = 16;
constexpr long kMostCacheMB = 65536;
constexpr const char* kImagerySection = "Imagery";
constexpr const char* kKmlSection = "KML";
constexpr const char* kKmzEntryKey = "KmzEntryMB";
// 1 TB: beyond it no bound is meant, and the bytes stay far inside 64 bits.
constexpr long kMostKmzEntryMB = 1048576;
constexpr const char* kProjectionSection = "Projection";
constexpr const char* kInterfaceSection = "Interface";
constexpr const char* kLanguageKey = "Language";
constexpr long kMostDiskCacheMB = 1048576;
constexpr const char* kMapSection = "Map";
constexpr const char* kTablePointsKey = "TablePoints";

// A key's value as a whole number clamped to [least, most]; nothing when it is absent or
// not a whole number.
std::optional<long> WholeNumber(const ProfileFile& profile, const char* section, const char* key, long least,
                                long most)
{
    const auto text = profile.Get(section, key);
    if (!text)
        return std::nullopt;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (end == text->c_str() || *end != '\0')
        return std::nullopt;
    return std::clamp(value, least, most);
}

// A word of the file as a user may have typed it: neither the case of its letters nor
// blanks, inside or around it, change what it means ("Beijing 54" is Beijing54).
std::string FoldedWord(std::string_view text)
{
    std::string folded;
    for (const char c : text)
        if (static_cast<unsigned char>(c) > ' ')
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

// Keys in the order in which they are read and written.
struct ViewKey {
    const char* name;
    std::string ViewSettingsText::*text;
};
constexpr ViewKey kViewKeys[] = {
    {"Latitude", &ViewSettingsText::latitude}, {"Longitude", &ViewSettingsText::longitude},
    {"Altitude", &ViewSettingsText::altitude}, {"Range", &ViewSettingsText::range},
    {"Tilt", &ViewSettingsText::tilt},         {"Azimuth", &ViewSettingsText::azimuth},
};

struct FourParamKey {
    const char* name;
    std::string FourParamTexts::*text;
};
constexpr FourParamKey kFourParamKeys[] = {
    {"Xdis", &FourParamTexts::xdis}, {"Ydis", &FourParamTexts::ydis}, {"Rot", &FourParamTexts::rot},
    {"Sca", &FourParamTexts::sca},   {"Hdis", &FourParamTexts::hdis},
};

void ReadInto(const ProfileFile& profile, StoredSettings& settings)
{
    for (const ViewKey& key : kViewKeys) {
        if (auto value = profile.Get(kViewSection, key.name)) {
            settings.view.*key.text = std::move(*value);
        }
    }
    for (const FourParamKey& key : kFourParamKeys) {
        if (auto value = profile.Get(kFourParamSection, key.name)) {
            settings.params.*key.text = std::move(*value);
        }
    }
}

void WriteInto(ProfileFile& profile, const std::optional<CameraValues>& camera, const FourParamTexts& params)
{
    if (camera) {
        const ViewSettingsText view = FormatCamera(*camera);
        for (const ViewKey& key : kViewKeys) {
            profile.Set(kViewSection, key.name, view.*key.text);
        }
    }
    for (const FourParamKey& key : kFourParamKeys) {
        profile.Set(kFourParamSection, key.name, LineBreaksAsBlanks(params.*key.text));
    }
}

// $XDG_CONFIG_HOME counts only when it is an absolute path (relative ones are to be
// ignored, as the XDG base directory rules say); else $HOME/.config, else the
// account's home folder from the password database.
std::filesystem::path ConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* account = ::getpwuid(::getuid());
        home = account != nullptr ? account->pw_dir : "";
    }
    return std::filesystem::path(home) / ".config";
}

}  // namespace

SettingsWriteError::SettingsWriteError(const std::filesystem::path& path, const std::string& reason)
    : std::runtime_error("Unable to write to " + path.string() + (reason.empty() ? "" : "\n" + reason))
{
}

std::filesystem::path DefaultSettingsPath(const std::filesystem::path& executableDir)
{
    if (!IsInstalledCopy(executableDir) && ::access(executableDir.c_str(), W_OK) == 0) {
        return executableDir / kSettingsFileName;
    }
    return ConfigHome() / "keldarn" / kSettingsFileName;
}

ViewSettingsText FormatCamera(const CameraValues& camera)
{
    using geodesy::FormatFixed;
    return {FormatFixed(camera.latitudeDeg, 4), FormatFixed(camera.longitudeDeg, 4),
            FormatFixed(camera.altitudeM, 0),   FormatFixed(camera.rangeM, 0),
            FormatFixed(camera.tiltDeg, 4),     FormatFixed(camera.azimuthDeg, 4)};
}

std::string LineBreaksAsBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        out += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return out;
}

StoredSettings LoadSettings(const std::filesystem::path& path)
{
    StoredSettings settings;
    try {
        ReadInto(ProfileFile::Load(path), settings);
    } catch (const std::exception&) {
        return StoredSettings{};
    }
    return settings;
}

std::string SettingsFileProblem(const std::filesystem::path& path)
{
    try {
        static_cast<void>(ProfileFile::Load(path));
    } catch (const ProfileReadError& error) {
        return error.what();
    }
    return {};
}

std::optional<ViewSettingsText> LoadSavedView(const std::filesystem::path& path)
{
    try {
        const ProfileFile profile = ProfileFile::Load(path);
        for (const ViewKey& key : kViewKeys)
            if (profile.Get(kViewSection, key.name)) {
                StoredSettings settings;
                ReadInto(profile, settings);
                return settings.view;
            }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

namespace {

// Reads the file, lets `change` set keys, and replaces the file atomically. The old
// content is read first, so every line that is not one of the keys set is kept; a
// file that exists but cannot be read is not replaced.
template <typename Change> void UpdateProfile(const std::filesystem::path& path, Change change)
{
    ProfileFile profile;
    try {
        profile = ProfileFile::Load(path);
        change(profile);
    } catch (const ProfileReadError& error) {
        throw SettingsWriteError(
            path,
            i18n::Format(i18n::Translate("app", "%1。该文件保持原样，本次的设置没有保存。"), {error.what()}));
    } catch (const std::exception&) {
        throw SettingsWriteError(path);
    }
    std::error_code error;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    if (error || !profile.Save(path)) {
        throw SettingsWriteError(path);
    }
}

}  // namespace

void SaveSettings(const std::filesystem::path& path, const std::optional<CameraValues>& camera,
                  const FourParamTexts& params)
{
    UpdateProfile(path, [&](ProfileFile& profile) { WriteInto(profile, camera, params); });
}

bool SaveChangedSettings(const std::filesystem::path& path, const StoredSettings& atStart,
                         const std::optional<CameraValues>& camera, const FourParamTexts& params)
{
    struct Entry {
        const char* section;
        const char* key;
        const std::string& before;
        std::string now;
    };
    std::vector<Entry> entries;
    if (camera) {
        const ViewSettingsText view = FormatCamera(*camera);
        for (const ViewKey& key : kViewKeys)
            entries.push_back({kViewSection, key.name, atStart.view.*key.text, view.*key.text});
    }
    for (const FourParamKey& key : kFourParamKeys)
        entries.push_back(
            {kFourParamSection, key.name, atStart.params.*key.text, LineBreaksAsBlanks(params.*key.text)});
    if (std::none_of(entries.begin(), entries.end(), [](const Entry& e) { return e.now != e.before; }))
        return false;
    UpdateProfile(path, [&](ProfileFile& profile) {
        for (const Entry& e : entries)
            if (e.now != e.before || !profile.Get(e.section, e.key))
                profile.Set(e.section, e.key, e.now);
    });
    return true;
}

std::string LoadInterfaceLanguage(const std::filesystem::path& path)
{
    try {
        return ProfileFile::Load(path).Get(kInterfaceSection, kLanguageKey).value_or(std::string());
    } catch (const std::exception&) {
        return {};
    }
}

void SaveInterfaceLanguage(const std::filesystem::path& path, const std::string& value)
{
    UpdateProfile(path, [&](ProfileFile& profile) { profile.Set(kInterfaceSection, kLanguageKey, value); });
}

std::string LoadTerrainSource(const std::filesystem::path& path)
{
    try {
        return ProfileFile::Load(path).Get(kTerrainSection, kTerrainSourceKey).value_or(std::string());
    } catch (const std::exception&) {
        return {};
    }
}

void SaveTerrainSource(const std::filesystem::path& path, const std::string& source)
{
    UpdateProfile(path, [&](ProfileFile& profile) {
        profile.Set(kTerrainSection, kTerrainSourceKey, source);
        // The cache bound is written once, so that a user finds the key to change.
        if (!profile.Get(kTerrainSection, kTerrainCacheKey))
            profile.Set(kTerrainSection, kTerrainCacheKey, std::to_string(kDefaultTerrainCacheMB));
    });
}

std::size_t LoadTerrainCacheBytes(const std::filesystem::path& path)
{
    long megabytes = kDefaultTerrainCacheMB;
    try {
        megabytes = WholeNumber(ProfileFile::Load(path), kTerrainSection, kTerrainCacheKey, kLeastCacheMB,
                                kMostCacheMB)
                        .value_or(kDefaultTerrainCacheMB);
    } catch (const std::exception&) {
    }
    return static_cast<std::size_t>(megabytes) << 20;
}

ImagerySettings LoadImagerySettings(const std::filesystem::path& path)
{
    ImagerySettings settings;
    try {
        const ProfileFile profile = ProfileFile::Load(path);
        settings.source = profile.Get(kImagerySection, "Source").value_or(std::string());
        settings.opacityPercent = static_cast<int>(
            WholeNumber(profile, kImagerySection, "Opacity", 0, 100).value_or(settings.opacityPercent));
        settings.visible = WholeNumber(profile, kImagerySection, "Visible", 0, 1).value_or(1) != 0;
        settings.memoryCacheMB = WholeNumber(profile, kImagerySection, "CacheMB", kLeastCacheMB, kMostCacheMB)
                                     .value_or(settings.memoryCacheMB);
        settings.diskCacheMB = WholeNumber(profile, kImagerySection, "DiskCacheMB", 0, kMostDiskCacheMB)
                                   .value_or(settings.diskCacheMB);
    } catch (const std::exception&) {
    }
    return settings;
}

void SaveImagerySettings(const std::filesystem::path& path, const ImagerySettings& settings)
{
    UpdateProfile(path, [&](ProfileFile& profile) {
        profile.Set(kImagerySection, "Source", settings.source);
        profile.Set(kImagerySection, "Opacity", std::to_string(std::clamp(settings.opacityPercent, 0, 100)));
        profile.Set(kImagerySection, "Visible", settings.visible ? "1" : "0");
        if (!profile.Get(kImagerySection, "CacheMB"))
            profile.Set(kImagerySection, "CacheMB", std::to_string(settings.memoryCacheMB));
        if (!profile.Get(kImagerySection, "DiskCacheMB"))
            profile.Set(kImagerySection, "DiskCacheMB", std::to_string(settings.diskCacheMB));
    });
}

namespace {

struct TablePointsWord {
    TablePointsOnMap shown;
    const char* word;
};
constexpr TablePointsWord kTablePointsWords[] = {{TablePointsOnMap::Labels, "Labels"},
                                                 {TablePointsOnMap::Markers, "Markers"},
                                                 {TablePointsOnMap::Off, "Off"}};

}  // namespace

TablePointsOnMap LoadTablePointsOnMap(const std::filesystem::path& path)
{
    try {
        const std::string folded =
            FoldedWord(ProfileFile::Load(path).Get(kMapSection, kTablePointsKey).value_or(std::string()));
        for (const TablePointsWord& entry : kTablePointsWords)
            if (folded == FoldedWord(entry.word))
                return entry.shown;
    } catch (const std::exception&) {
    }
    return TablePointsOnMap::Labels;
}

void SaveTablePointsOnMap(const std::filesystem::path& path, TablePointsOnMap shown)
{
    for (const TablePointsWord& entry : kTablePointsWords)
        if (entry.shown == shown)
            UpdateProfile(
                path, [&](ProfileFile& profile) { profile.Set(kMapSection, kTablePointsKey, entry.word); });
}

KmzEntryLimitSetting ReadKmzEntryLimit(const std::filesystem::path& path)
{
    std::string text;
    try {
        text = ProfileFile::Load(path).Get(kKmlSection, kKmzEntryKey).value_or(std::string());
    } catch (const std::exception&) {
        return {};  // a file that does not read at all counts as missing, as for every section
    }
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    long megabytes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), megabytes);
    if (error == std::errc() && end == text.data() + text.size() && megabytes >= 1 &&
        megabytes <= kMostKmzEntryMB)
        return {megabytes, {}};
    return {
        kDefaultKmzEntryMB,
        i18n::Format(i18n::Translate("app", "设置文件 %1 的 [KML] 节中有无法识别的值："), {path.string()}) +
            '\n' +
            i18n::Format(i18n::Translate("app", "%1=%2：%3"),
                         {kKmzEntryKey, text,
                          i18n::Format(i18n::Translate("app", "应为 1 到 %1 之间的整数（MB）"),
                                       {std::to_string(kMostKmzEntryMB)})})};
}

namespace {

struct DatumKey {
    const char* key;
    double geodesy::SevenParameters::*value;
};
constexpr DatumKey kDatumKeys[] = {
    {"DatumDx", &geodesy::SevenParameters::dxM},
    {"DatumDy", &geodesy::SevenParameters::dyM},
    {"DatumDz", &geodesy::SevenParameters::dzM},
    {"DatumRx", &geodesy::SevenParameters::rxArcSec},
    {"DatumRy", &geodesy::SevenParameters::ryArcSec},
    {"DatumRz", &geodesy::SevenParameters::rzArcSec},
    {"DatumScalePpm", &geodesy::SevenParameters::scalePpm},
};

const char* ZoneNumberKey(geodesy::ZoneNumberInY mode)
{
    switch (mode) {
    case geodesy::ZoneNumberInY::Without:
        return "Without";
    case geodesy::ZoneNumberInY::With:
        return "With";
    case geodesy::ZoneNumberInY::Guess:
        break;
    }
    return "Guess";
}

// Numbers are written with every digit they need to read back the same.
std::string ExactNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

}  // namespace

namespace {

// Reads the values of [Projection] one by one; each value that does not read adds a line
// naming its key and value to `problems`.
class ProjectionReader {
public:
    explicit ProjectionReader(const ProfileFile& profile) : profile_(profile) {}

    // The index in `words` of the word that key's value means; nothing when the key is absent
    // or blank, or when the value means none of them.
    std::optional<std::size_t> Word(const char* key, std::initializer_list<std::string_view> words)
    {
        const auto text = profile_.Get(kProjectionSection, key);
        if (!text || FoldedWord(*text).empty())
            return std::nullopt;
        std::string listed;
        std::size_t index = 0;
        for (const std::string_view word : words) {
            if (FoldedWord(word) == FoldedWord(*text))
                return index;
            listed += (index++ == 0 ? "" : ", ") + std::string(word);
        }
        Refuse(key, *text, i18n::Format(i18n::Translate("app", "应为 %1 之一"), {listed}));
        return std::nullopt;
    }

    // Metres, arc-seconds or ppm; an absent or blank value is 0.
    double Number(const char* key)
    {
        const std::string text = profile_.Get(kProjectionSection, key).value_or("");
        try {
            return geodesy::ParseNumberOrZero(text);
        } catch (const geodesy::InvalidNumberError&) {
            Refuse(key, text,
                   text.find(',') != std::string::npos
                       ? i18n::Translate("app", "小数点须写作“.”，逗号也可能是千位分隔符，其意不明")
                       : i18n::Translate("app", "不是数"));
            return 0.0;
        }
    }

    std::string problems;

private:
    void Refuse(const char* key, const std::string& value, const std::string& reason)
    {
        problems += '\n';
        problems += i18n::Format(i18n::Translate("app", "%1=%2：%3"), {key, value, reason});
    }

    const ProfileFile& profile_;
};

}  // namespace

ProjectionSettings ReadProjectionSettings(const std::filesystem::path& path)
{
    std::optional<ProfileFile> profile;
    try {
        profile = ProfileFile::Load(path);
    } catch (const std::exception&) {
        return {};  // a file that does not read at all counts as missing, as for every section
    }
    ProjectionReader read(*profile);
    geodesy::ProjectionChoice choice;
    std::initializer_list<std::string_view> ellipsoids = {geodesy::SettingKey(geodesy::kEllipsoidChoices[0]),
                                                          geodesy::SettingKey(geodesy::kEllipsoidChoices[1]),
                                                          geodesy::SettingKey(geodesy::kEllipsoidChoices[2]),
                                                          geodesy::SettingKey(geodesy::kEllipsoidChoices[3]),
                                                          geodesy::SettingKey(geodesy::kEllipsoidChoices[4])};
    if (const auto ellipsoid = read.Word("Ellipsoid", ellipsoids))
        choice.ellipsoid = geodesy::kEllipsoidChoices[*ellipsoid];
    if (read.Word("ZoneWidth", {"3", "6"}).value_or(0) == 1)
        choice.zoneWidth = geodesy::ZoneWidth::Six;
    if (const auto zone = read.Word("ZoneNumber", {"Guess", "Without", "With"}))
        choice.zoneNumber = std::array{geodesy::ZoneNumberInY::Guess, geodesy::ZoneNumberInY::Without,
                                       geodesy::ZoneNumberInY::With}[*zone];
    if (read.Word("Datum", {"0", "1"}).value_or(0) == 1) {
        geodesy::SevenParameters datum;
        for (const DatumKey& key : kDatumKeys)
            datum.*key.value = read.Number(key.key);
        if (read.Word("DatumConvention", {"PositionVector", "CoordinateFrame"}).value_or(0) == 1)
            datum.convention = geodesy::RotationConvention::CoordinateFrame;
        choice.datum = datum;
    }
    if (read.problems.empty())
        return {choice, {}};
    // Half a national system is no system: nothing of it is used.
    return {{},
            i18n::Format(i18n::Translate("app", "设置文件 %1 的 [Projection] 节中有无法识别的值："),
                         {path.string()}) +
                read.problems};
}

geodesy::ProjectionChoice LoadProjectionChoice(const std::filesystem::path& path)
{
    return ReadProjectionSettings(path).choice;
}

void SaveProjectionChoice(const std::filesystem::path& path, const geodesy::ProjectionChoice& choice)
{
    UpdateProfile(path, [&](ProfileFile& profile) {
        if (choice.IsDefault() && !profile.Get(kProjectionSection, "Ellipsoid"))
            return;
        profile.Set(kProjectionSection, "Ellipsoid", std::string(geodesy::SettingKey(choice.ellipsoid)));
        profile.Set(kProjectionSection, "ZoneWidth", choice.zoneWidth == geodesy::ZoneWidth::Six ? "6" : "3");
        profile.Set(kProjectionSection, "ZoneNumber", ZoneNumberKey(choice.zoneNumber));
        profile.Set(kProjectionSection, "Datum", choice.datum ? "1" : "0");
        const geodesy::SevenParameters datum = choice.datum.value_or(geodesy::SevenParameters{});
        for (const DatumKey& key : kDatumKeys)
            profile.Set(kProjectionSection, key.key, ExactNumber(datum.*key.value));
        profile.Set(kProjectionSection, "DatumConvention",
                    datum.convention == geodesy::RotationConvention::CoordinateFrame ? "CoordinateFrame"
                                                                                     : "PositionVector");
    });
}

}  // namespace keldarn::settings
