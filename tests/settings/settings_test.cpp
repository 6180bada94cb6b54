#include "settings/settings.h"
#include "tests/support/resource_limits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace keldarn::settings {
namespace {

using keldarn::testing::PeakResidentMB;

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const Texts kDefaults = {"33.2677", "113.5538", "0", "3000", "0", "0", "0", "0", "0", "0", "0"};

// The eleven texts in the order of the file.
Texts AllTexts(const StoredSettings& s)
{
    return {s.view.latitude, s.view.longitude, s.view.altitude, s.view.range, s.view.tilt,  s.view.azimuth,
            s.params.xdis,   s.params.ydis,    s.params.rot,    s.params.sca, s.params.hdis};
}

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest()
        : dir_(fs::temp_directory_path() / ("keldarn_settings_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name())),
          path_(dir_ / "Keldarn.ini")
    {
        fs::create_directories(dir_);
    }
    ~SettingsTest() override
    {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }

    static void WriteBytes(const fs::path& path, std::string_view text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadBytes(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    Texts Entries() const
    {
        Texts names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path dir_;
    fs::path path_;
};

TEST_F(SettingsTest, LoadFallsBackToDefaultsKeyByKey)
{
    EXPECT_EQ(AllTexts(LoadSettings(path_)), kDefaults);
    EXPECT_FALSE(fs::exists(path_));

    Texts onlyRange = kDefaults;
    onlyRange[3] = "500";
    WriteBytes(path_, "[GEwin]\nRange=500\n");
    EXPECT_EQ(AllTexts(LoadSettings(path_)), onlyRange);

    Texts emptyXdis = kDefaults;
    emptyXdis[6] = "";
    WriteBytes(path_, "[gezbzh]\r\nXDIS=\r\n");
    EXPECT_EQ(AllTexts(LoadSettings(path_)), emptyXdis);

    fs::remove(path_);
    fs::create_directory(path_);  // unreadable as a file
    EXPECT_EQ(AllTexts(LoadSettings(path_)), kDefaults);
}

TEST_F(SettingsTest, SaveFormatsCameraAndKeepsTextsUnchanged)
{
    const fs::path nested = dir_ / "config" / "keldarn" / "Keldarn.ini";
    const CameraValues camera{33.26771, 113.55384, 123.4, 2999.7, 0.0, 359.99999};
    SaveSettings(nested, camera, {"1,5", "-2", "abc", "", " 3 "});
    EXPECT_EQ(ReadBytes(nested),
              "[GEwin]\nLatitude=33.2677\nLongitude=113.5538\nAltitude=123\nRange=3000\n"
              "Tilt=0.0000\nAzimuth=360.0000\n\n[GEzbzh]\nXdis=1,5\nYdis=-2\nRot=abc\nSca=\n"
              "Hdis= 3 \n");
    // Profile reading trims blanks around a value, as on Windows.
    const Texts reread = {"33.2677", "113.5538", "123", "3000", "0.0000", "360.0000",
                          "1,5",     "-2",       "abc", "",     "3"};
    EXPECT_EQ(AllTexts(LoadSettings(nested)), reread);
}

TEST_F(SettingsTest, SaveWithoutCameraWritesOnlyTheParameters)
{
    WriteBytes(path_, "\xEF\xBB\xBF; notes\r\n[GEwin]\r\nLatitude=1\r\n\r\n"
                      "[GEzbzh]\r\nRot=9\r\n[Terrain]\r\nSource=dem.tif\r\n");
    SaveSettings(path_, std::nullopt, {"1", "2", "3", "4", "5"});
    EXPECT_EQ(ReadBytes(path_), "\xEF\xBB\xBF; notes\r\n[GEwin]\r\nLatitude=1\r\n\r\n"
                                "[GEzbzh]\r\nRot=3\r\nXdis=1\r\nYdis=2\r\nSca=4\r\nHdis=5\r\n"
                                "[Terrain]\r\nSource=dem.tif\r\n");
}

// Pasted text can carry line breaks, which no profile value can hold: each CR LF, CR or
// LF is stored as one blank, and every other key is written as usual.
TEST_F(SettingsTest, LineBreaksInParametersAreStoredAsBlanks)
{
    SaveSettings(path_, CameraValues{}, {"1\r\n2", "3\n", "\r4\r", "5\n\n6", "7"});
    EXPECT_EQ(ReadBytes(path_),
              "[GEwin]\nLatitude=0.0000\nLongitude=0.0000\nAltitude=0\nRange=0\nTilt=0.0000\n"
              "Azimuth=0.0000\n\n[GEzbzh]\nXdis=1 2\nYdis=3 \nRot= 4 \nSca=5  6\nHdis=7\n");
}

TEST_F(SettingsTest, WriteFailureNamesThePathAndKeepsTheOldFile)
{
    // root writes into read-only folders, so there the temporary file's name, longer
    // than a file name may be, makes the write fail instead.
    const bool root = ::geteuid() == 0;
    const fs::path path = root ? dir_ / (std::string(250, 'k') + ".ini") : path_;
    WriteBytes(path, "[GEzbzh]\nXdis=7\n");
    if (!root) {
        fs::permissions(dir_, fs::perms(0555));
    }
    try {
        SaveSettings(path, CameraValues{}, {});
        ADD_FAILURE() << "no SettingsWriteError";
    } catch (const SettingsWriteError& error) {
        EXPECT_EQ(error.what(), "Unable to write to " + path.string());
    }
    EXPECT_EQ(ReadBytes(path), "[GEzbzh]\nXdis=7\n");
    EXPECT_EQ(Entries(), Texts{path.filename().string()});
}

// A hundred megabytes under the settings file's name (a log written there by mistake,
// a damaged disk): it is never read into memory, the program starts with the defaults,
// and saving tells why and leaves the file as it was.
TEST_F(SettingsTest, HundredMegabyteFileGivesDefaultsAndIsNeverReplaced)
{
    {
        std::ofstream out(path_, std::ios::binary);
        out << "[GEzbzh]\r\nXdis=7\r\n";
        const std::string comments(1 << 20, ';');
        for (int i = 0; i < 100; ++i) {
            out << comments << "\r\n";
        }
    }
    const auto size = fs::file_size(path_);
    const auto modified = fs::last_write_time(path_);
    const double peakBeforeMB = PeakResidentMB();

    EXPECT_EQ(AllTexts(LoadSettings(path_)), kDefaults);
    EXPECT_EQ(LoadTerrainSource(path_), "");
    try {
        SaveSettings(path_, CameraValues{}, {"1", "2", "3", "4", "5"});
        ADD_FAILURE() << "the file was replaced";
    } catch (const SettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Unable to write to " + path_.string() + "\n设置文件 " + path_.string() +
                      " 大于 1 MB，不是本程序的设置文件。该文件保持原样，本次的设置没有保存。");
    }
    EXPECT_THROW(SaveTerrainSource(path_, "/data/dem.tif"), SettingsWriteError);
    EXPECT_LT(PeakResidentMB() - peakBeforeMB, 32.0);

    EXPECT_EQ(fs::file_size(path_), size);
    EXPECT_EQ(fs::last_write_time(path_), modified);
    std::ifstream in(path_, std::ios::binary);
    std::string head(18, '\0');
    in.read(head.data(), 18);
    EXPECT_EQ(head, "[GEzbzh]\r\nXdis=7\r\n");
    EXPECT_EQ(Entries(), Texts{"Keldarn.ini"});
}

TEST_F(SettingsTest, WriteFailureWhenTheFolderCannotBeMade)
{
    WriteBytes(dir_ / "plain", "x");
    const fs::path path = dir_ / "plain" / "keldarn" / "Keldarn.ini";
    EXPECT_THROW(SaveSettings(path, std::nullopt, {}), SettingsWriteError);
    EXPECT_EQ(ReadBytes(dir_ / "plain"), "x");
    EXPECT_EQ(Entries(), Texts{"plain"});
}

// Sets or clears an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(SettingsTest, DefaultPathLeavesAnUnwritableProgramFolder)
{
    EXPECT_EQ(DefaultSettingsPath(dir_), dir_ / "Keldarn.ini");

    // root may write into a 0555 folder; a missing folder is unwritable for everyone.
    const fs::path programDir = dir_ / "bin";
    if (::geteuid() != 0) {
        fs::create_directory(programDir);
        fs::permissions(programDir, fs::perms(0555));
    }
    const ScopedEnv home("HOME", "/home/u");
    const fs::path fromHome = "/home/u/.config/keldarn/Keldarn.ini";
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/cfg"}) {
        const ScopedEnv config("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(DefaultSettingsPath(programDir), fromHome) << (xdg ? xdg : "unset");
    }
    const ScopedEnv config("XDG_CONFIG_HOME", "/etc/xdg-user");
    EXPECT_EQ(DefaultSettingsPath(programDir), "/etc/xdg-user/keldarn/Keldarn.ini");
}

TEST_F(SettingsTest, TerrainSourceHasASectionOfItsOwn)
{
    EXPECT_EQ(LoadTerrainSource(path_), "");
    const std::string before = "[GEwin]\nRange=500\n";
    WriteBytes(path_, before);
    SaveTerrainSource(path_, "/data/dem/srtm 高程.tif");
    EXPECT_EQ(LoadTerrainSource(path_), "/data/dem/srtm 高程.tif");
    EXPECT_EQ(ReadBytes(path_).substr(0, before.size()), before);
    EXPECT_EQ(LoadSettings(path_).view.range, "500");
    SaveTerrainSource(path_, "");
    EXPECT_EQ(LoadTerrainSource(path_), "");
}

TEST_F(SettingsTest, ProjectionChoiceHasASectionOfItsOwn)
{
    // The default writes nothing to a file without the section: earlier files stay as they were.
    const std::string before = "[GEwin]\nRange=500\n";
    WriteBytes(path_, before);
    SaveProjectionChoice(path_, {});
    EXPECT_EQ(ReadBytes(path_), before);
    EXPECT_TRUE(LoadProjectionChoice(path_).IsDefault());

    geodesy::ProjectionChoice choice;
    choice.ellipsoid = geodesy::EllipsoidChoice::Xian80;
    choice.zoneWidth = geodesy::ZoneWidth::Six;
    choice.zoneNumber = geodesy::ZoneNumberInY::With;
    choice.datum = geodesy::SevenParameters{
        -112.5, 0.1, 31.0 / 3.0, -0.25, 1.5e-3, 2.0, -3.25, geodesy::RotationConvention::CoordinateFrame};
    SaveProjectionChoice(path_, choice);
    EXPECT_EQ(LoadProjectionChoice(path_), choice);  // every number back to the bit
    EXPECT_EQ(LoadSettings(path_).view.range, "500");
    SaveProjectionChoice(path_, {});
    EXPECT_TRUE(LoadProjectionChoice(path_).IsDefault());

    // Values that do not read keep the default.
    WriteBytes(path_, "[Projection]\nEllipsoid=Mars\nZoneWidth=7\nZoneNumber=maybe\nDatum=1\nDatumDx=abc\n");
    EXPECT_TRUE(LoadProjectionChoice(path_).IsDefault());
}

// One value of a Beijing 1954 section with a datum shift changed at a time: read as the word
// or number it plainly is, or refused with a message naming the file, the key and the value,
// and then none of the section used.
TEST_F(SettingsTest, ProjectionValuesReadAsMeantOrRefusedByName)
{
    using geodesy::ProjectionChoice;
    ProjectionChoice saved;
    saved.ellipsoid = geodesy::EllipsoidChoice::Beijing54;
    saved.zoneNumber = geodesy::ZoneNumberInY::With;
    saved.datum = geodesy::SevenParameters{-15.8, 154.4, 82.3, 0.9, -1.6, 2.4, -3.2};
    const struct {
        const char *key, *value;
        void (*meaning)(ProjectionChoice&);  // on the saved choice; none: refused
    } cases[] = {
        {"Ellipsoid", " Beijing 54 ", [](ProjectionChoice&) {}},
        {"Ellipsoid", "cgcs2000",
         [](ProjectionChoice& c) { c.ellipsoid = geodesy::EllipsoidChoice::Cgcs2000; }},
        {"Ellipsoid", "", [](ProjectionChoice& c) { c.ellipsoid = geodesy::EllipsoidChoice::Program; }},
        {"Ellipsoid", "Beijing 1954", nullptr},
        {"Ellipsoid", "Mars", nullptr},
        {"ZoneWidth", " 6 ", [](ProjectionChoice& c) { c.zoneWidth = geodesy::ZoneWidth::Six; }},
        {"ZoneWidth", "5", nullptr},
        {"ZoneWidth", "7", nullptr},
        {"ZoneNumber", "with", [](ProjectionChoice&) {}},
        {"ZoneNumber", "WITH OUT",
         [](ProjectionChoice& c) { c.zoneNumber = geodesy::ZoneNumberInY::Without; }},
        {"ZoneNumber", "maybe", nullptr},
        {"Datum", " 0", [](ProjectionChoice& c) { c.datum.reset(); }},
        {"Datum", "yes", nullptr},
        {"DatumDx", " -15.25 ", [](ProjectionChoice& c) { c.datum->dxM = -15.25; }},
        {"DatumDx", "", [](ProjectionChoice& c) { c.datum->dxM = 0.0; }},
        {"DatumDx", "-15,8", nullptr},
        {"DatumDy", "1,544", nullptr},
        {"DatumScalePpm", "abc", nullptr},
        {"DatumConvention", "coordinate frame",
         [](ProjectionChoice& c) { c.datum->convention = geodesy::RotationConvention::CoordinateFrame; }},
        {"DatumConvention", "CF", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        SaveProjectionChoice(path_, saved);
        std::ifstream in(path_);
        std::string text, line;
        while (std::getline(in, line))
            text +=
                (line.rfind(std::string(c.key) + "=", 0) == 0 ? std::string(c.key) + "=" + c.value : line) +
                "\n";
        in.close();
        WriteBytes(path_, text);
        const ProjectionSettings read = ReadProjectionSettings(path_);
        if (c.meaning) {
            ProjectionChoice expected = saved;
            c.meaning(expected);
            EXPECT_EQ(read.choice, expected);
            EXPECT_EQ(read.problem, "");
        } else {
            EXPECT_TRUE(read.choice.IsDefault());
            EXPECT_NE(read.problem.find(path_.string()), std::string::npos) << read.problem;
            EXPECT_NE(read.problem.find("\n" + std::string(c.key) + "=" + c.value + "："), std::string::npos)
                << read.problem;
        }
    }
}

TEST_F(SettingsTest, KmzEntryBoundIsReadFromTheKmlSectionOrRefusedByName)
{
    EXPECT_EQ(ReadKmzEntryLimit(path_).megabytes, 1024);
    const struct {
        const char* text;
        long megabytes;  // 0: refused, the default is used
    } cases[] = {{"64", 64}, {" 4096 ", 4096}, {"", 1024}, {"1048576", 1048576}, {"0", 0},
                 {"-5", 0},  {"2GB", 0},       {"1.5", 0}, {"1048577", 0},       {"99999999999999999999", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        WriteBytes(path_, std::string("[GEzbzh]\r\nRot=1\r\n[kml]\r\nkmzentrymb=") + c.text + "\r\n");
        const KmzEntryLimitSetting read = ReadKmzEntryLimit(path_);
        EXPECT_EQ(read.megabytes, c.megabytes == 0 ? 1024 : c.megabytes);
        EXPECT_EQ(read.problem, c.megabytes != 0 ? ""
                                                 : "设置文件 " + path_.string() +
                                                       " 的 [KML] 节中有无法识别的值：\nKmzEntryMB=" +
                                                       c.text + "：应为 1 到 1048576 之间的整数（MB）");
    }
}

TEST_F(SettingsTest, TerrainCacheBoundIsReadFromTheTerrainSection)
{
    EXPECT_EQ(LoadTerrainCacheBytes(path_), std::size_t{256} << 20);
    // Saving a source writes the default bound once, for the user to find and change.
    SaveTerrainSource(path_, "https://dem.example/cog.tif");
    EXPECT_NE(ReadBytes(path_).find("CacheMB=256"), std::string::npos);
    const struct {
        const char* text;
        std::size_t megabytes;
    } cases[] = {{"512", 512}, {"1", 16}, {"9999999", 65536}, {"lots", 256}, {"64MB", 256}, {"", 256}};
    for (const auto& c : cases) {
        WriteBytes(path_, std::string("[Terrain]\nCacheMB=") + c.text + "\n");
        EXPECT_EQ(LoadTerrainCacheBytes(path_), c.megabytes << 20) << c.text;
    }
    // A bound the user set stays when the source changes.
    WriteBytes(path_, "[Terrain]\nCacheMB=1024\n");
    SaveTerrainSource(path_, "/data/dem.tif");
    EXPECT_EQ(LoadTerrainCacheBytes(path_), std::size_t{1024} << 20);
}

TEST_F(SettingsTest, ImageryLayerKeepsItsOwnSection)
{
    const ImagerySettings defaults = LoadImagerySettings(path_);
    EXPECT_EQ(defaults.source, "");
    EXPECT_EQ(defaults.opacityPercent, 100);
    EXPECT_TRUE(defaults.visible);
    EXPECT_EQ(defaults.memoryCacheMB, 256);
    EXPECT_EQ(defaults.diskCacheMB, 1024);
    // The layer's keys change, every other line stays; the bounds are written once.
    const std::string before = "[Terrain]\nSource=/data/dem.tif\n[Imagery]\nCacheMB=64\n";
    WriteBytes(path_, before);
    SaveImagerySettings(path_, {"https://tiles.example/{z}/{x}/{y}.png", 70, false, 256, 1024});
    const ImagerySettings saved = LoadImagerySettings(path_);
    EXPECT_EQ(saved.source, "https://tiles.example/{z}/{x}/{y}.png");
    EXPECT_EQ(saved.opacityPercent, 70);
    EXPECT_FALSE(saved.visible);
    EXPECT_EQ(saved.memoryCacheMB, 64);
    EXPECT_EQ(saved.diskCacheMB, 1024);
    EXPECT_EQ(LoadTerrainSource(path_), "/data/dem.tif");
    // Values out of range are clamped, values that are no whole numbers count as absent.
    WriteBytes(path_, "[Imagery]\nOpacity=250\nVisible=no\nCacheMB=1\nDiskCacheMB=-5\n");
    const ImagerySettings odd = LoadImagerySettings(path_);
    EXPECT_EQ(odd.opacityPercent, 100);
    EXPECT_TRUE(odd.visible);
    EXPECT_EQ(odd.memoryCacheMB, 16);
    EXPECT_EQ(odd.diskCacheMB, 0);
}

}  // namespace
}  // namespace keldarn::settings
