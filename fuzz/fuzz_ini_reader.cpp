// The settings file layer: any bytes as a profile, read with Get and changed with Set.
//
// The input is split into a section name, a key, a value (each up to 32 bytes, through
// FuzzedDataProvider) and the file text. Findings: a crash or sanitizer report; a profile
// whose Text() is not the file byte for byte; a Set that Get does not find again, in the
// profile or after writing and reading it back; a Set that changes another key; a
// refused Set that changes anything; an exception other than std::invalid_argument.

#include "settings/profile_file.h"
#include "fuzz/fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <stdexcept>
#include <utility>

namespace {

using namespace keldarn;
using fuzz::Require;

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// What Get gives back for a value written with Set: blanks around it are not kept, and
// one pair of double quotes around it is taken off.
std::string ReadBack(std::string_view value)
{
    value = Trim(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// Keys the program reads, watched for changes by a Set of some other key.
constexpr std::array<std::pair<const char*, const char*>, 4> kWatched = {{
    {"GEwin", "Latitude"},
    {"GEwin", "Range"},
    {"GEzbzh", "Xdis"},
    {"Terrain", "Source"},
}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string section = provider.ConsumeRandomLengthString(32);
    const std::string key = provider.ConsumeRandomLengthString(32);
    const std::string value = provider.ConsumeRandomLengthString(32);
    const std::string text = provider.ConsumeRemainingBytesAsString();

    settings::ProfileFile profile = settings::ProfileFile::FromText(text);
    Require(profile.Text() == text, "the profile does not give back its text");

    std::array<std::optional<std::string>, kWatched.size()> before;
    for (std::size_t i = 0; i < kWatched.size(); ++i)
        before[i] = profile.Get(kWatched[i].first, kWatched[i].second);
    (void)profile.Get(section, key);

    try {
        profile.Set(section, key, value);
    } catch (const std::invalid_argument&) {
        Require(profile.Text() == text, "a refused Set changed the profile");
        return 0;
    }
    const std::string expected = ReadBack(value);
    Require(profile.Get(section, key) == expected, "Get does not find what Set wrote");
    const std::string written = profile.Text();
    Require(settings::ProfileFile::FromText(written).Get(section, key) == expected,
            "what Set wrote is not found after reading the file back");
    for (std::size_t i = 0; i < kWatched.size(); ++i) {
        if (SameName(kWatched[i].first, section) && SameName(kWatched[i].second, key))
            continue;
        Require(profile.Get(kWatched[i].first, kWatched[i].second) == before[i], "Set changed another key");
    }
    return 0;
}
