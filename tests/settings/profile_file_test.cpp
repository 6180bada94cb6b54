#include "settings/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace keldarn::settings {
namespace {

namespace fs = std::filesystem;

// Every kind of line the lookup has to see past.
constexpr std::string_view kMixed =
    "Latitude=1\n"  // above any section
    "; Latitude=2\n"
    "[ gewin ]  \n"
    "garbage line\n"
    "  LATITUDE  =\t 33.5 \n"
    "latitude=99\n"  // duplicate key
    "Empty=\n"
    "Quoted=\" padded \"\n"
    "Expr=a=b\n"
    "#Range=7\n"
    "\n"
    "[GEwin]\n"  // duplicate section
    "Range=8\n"
    "[Other]\n"
    "Range=9\n";

TEST(ProfileFileTest, LookupFollowsWindowsRules) {
    const ProfileFile profile = ProfileFile::FromText(kMixed);
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"GEwin", "Latitude", "33.5"},  {"GEWIN", "latitude", "33.5"},
        {"gewin", "EMPTY", ""},         {"GEwin", "Quoted", " padded "},
        {"GEwin", "Expr", "a=b"},       {"GEwin", "Range", std::nullopt},
        {"GEwin", "#Range", std::nullopt}, {"Other", "range", "9"},
        {"Missing", "Range", std::nullopt}, {"GEwin", "garbage line", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(profile.Get(c.section, c.key), c.expected) << c.section << '/' << c.key;
    }
}

TEST(ProfileFileTest, SetRewritesOnlyTheKeysLine) {
    ProfileFile profile = ProfileFile::FromText(kMixed);
    profile.Set("GEWIN", "latitude", "1,5");
    profile.Set("gewin", "Range", "500");
    profile.Set("other", "Tilt", "0");
    profile.Set("Terrain", "Source", "/data/dem.tif");
    EXPECT_EQ(profile.Text(),
              "Latitude=1\n; Latitude=2\n[ gewin ]  \ngarbage line\nLATITUDE=1,5\n"
              "latitude=99\nEmpty=\nQuoted=\" padded \"\nExpr=a=b\nRange=500\n#Range=7\n\n"
              "[GEwin]\nRange=8\n[Other]\nRange=9\nTilt=0\n\n[Terrain]\nSource=/data/dem.tif\n");
}

TEST(ProfileFileTest, KeepsByteOrderMarkLineEndsAndMissingFinalLineEnd) {
    // Added lines take the first line's end; a stray LF line stays as it is.
    ProfileFile profile = ProfileFile::FromText(
        "\xEF\xBB\xBF[GEwin]\r\nRange=1\r\n\r\n[GEzbzh]\r\nXdis=0\nRot=1");
    EXPECT_EQ(profile.Get("GEwin", "Range"), "1");
    profile.Set("GEwin", "Tilt", "2");
    profile.Set("GEzbzh", "Ydis", "3");
    profile.Set("Terrain", "Source", "é");
    EXPECT_EQ(profile.Text(), "\xEF\xBB\xBF[GEwin]\r\nRange=1\r\nTilt=2\r\n\r\n[GEzbzh]\r\n"
                              "Xdis=0\nRot=1\r\nYdis=3\r\n\r\n[Terrain]\r\nSource=é");
}

TEST(ProfileFileTest, NewSectionsFollowInWritingOrder) {
    ProfileFile fresh;
    fresh.Set("GEwin", "Latitude", "1");
    fresh.Set("GEwin", "Range", "2");
    fresh.Set("GEzbzh", "Xdis", "3");
    fresh.Set("GEzbzh", "Ydis", "4");
    EXPECT_EQ(fresh.Text(), "[GEwin]\nLatitude=1\nRange=2\n\n[GEzbzh]\nXdis=3\nYdis=4\n");

    ProfileFile endsBlank = ProfileFile::FromText("; note\n\n");
    endsBlank.Set("S", "k", "v");
    EXPECT_EQ(endsBlank.Text(), "; note\n\n[S]\nk=v\n");
}

TEST(ProfileFileTest, RefusesEntriesThatCouldNotBeReadBack) {
    ProfileFile profile = ProfileFile::FromText("[GEwin]\nRange=1\n");
    EXPECT_THROW(profile.Set("GEwin", "Range", "1\n[X]"), std::invalid_argument);
    EXPECT_THROW(profile.Set("GE]win", "Range", "1"), std::invalid_argument);
    EXPECT_THROW(profile.Set("GEwin", "a=b", "1"), std::invalid_argument);
    EXPECT_THROW(profile.Set("GEwin", " Range", "1"), std::invalid_argument);
    EXPECT_THROW(profile.Set("GEwin", ";Range", "1"), std::invalid_argument);
    EXPECT_EQ(profile.Text(), "[GEwin]\nRange=1\n");
}

class ProfileFileOnDiskTest : public ::testing::Test {
protected:
    ProfileFileOnDiskTest()
        : dir_(fs::temp_directory_path() /
               ("keldarn_profile_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::create_directories(dir_);
    }
    ~ProfileFileOnDiskTest() override { fs::remove_all(dir_); }

    static std::string ReadBytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path dir_;
};

TEST_F(ProfileFileOnDiskTest, SaveReplacesFileAndKeepsItsPermissions) {
    const fs::path path = dir_ / "Keldarn.ini";
    EXPECT_EQ(ProfileFile::Load(path).Text(), "");
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF; mine\r\n[GEwin]\r\nRange=1\r\n";
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

    ProfileFile profile = ProfileFile::Load(path);
    profile.Set("gewin", "range", "2");
    ASSERT_TRUE(profile.Save(path));
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF; mine\r\n[GEwin]\r\nRange=2\r\n");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(Entries(), std::vector<std::string>{"Keldarn.ini"});
}

TEST_F(ProfileFileOnDiskTest, FilesBeyondTheSizeLimitAreRefusedUnread) {
    const fs::path path = dir_ / "Keldarn.ini";
    std::string text = "[GEwin]\nRange=5\n";
    text.resize(ProfileFile::kMaxFileBytes, '\n');
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(ProfileFile::Load(path).Get("GEwin", "Range"), "5");

    std::ofstream(path, std::ios::binary | std::ios::app) << ';';
    EXPECT_THROW(ProfileFile::Load(path), ProfileTooLargeError);
    // A device that never ends is refused at the same limit instead of filling the memory.
    EXPECT_THROW(ProfileFile::Load("/dev/zero"), ProfileTooLargeError);
}

TEST_F(ProfileFileOnDiskTest, FailedRenameLeavesNoTemporaryFile) {
    // A folder in the target's place: the rename fails after the temporary file is written.
    const fs::path path = dir_ / "Keldarn.ini";
    fs::create_directories(path / "inside");
    EXPECT_THROW(ProfileFile::Load(path), ProfileReadError);
    EXPECT_FALSE(ProfileFile::FromText("[S]\nk=v\n").Save(path));
    EXPECT_TRUE(fs::is_directory(path / "inside"));
    EXPECT_EQ(Entries(), std::vector<std::string>{"Keldarn.ini"});
}

}  // namespace
}  // namespace keldarn::settings
