#include "geodesy/ellipsoid.h"

#include <cstddef>

namespace keldarn::geodesy {
namespace {

struct ChoiceInfo {
    const Ellipsoid* ellipsoid;
    std::string_view displayName;
    std::string_view settingKey;
};

// Indexed by EllipsoidChoice.
constexpr std::array<ChoiceInfo, kEllipsoidChoices.size()> kChoiceInfo{{
    {&kProgramEllipsoid, "程序默认椭球", "Program"},
    {&kCgcs2000, "CGCS2000", "CGCS2000"},
    {&kWgs84, "WGS84", "WGS84"},
    {&kXian80, "西安80（IAG-75）", "Xian80"},
    {&kBeijing54, "北京54（克拉索夫斯基）", "Beijing54"},
}};

const ChoiceInfo& InfoOf(EllipsoidChoice choice)
{
    return kChoiceInfo[static_cast<std::size_t>(choice)];
}

}  // namespace

const Ellipsoid& EllipsoidOf(EllipsoidChoice choice)
{
    return *InfoOf(choice).ellipsoid;
}

std::string_view DisplayName(EllipsoidChoice choice)
{
    return InfoOf(choice).displayName;
}

std::string_view SettingKey(EllipsoidChoice choice)
{
    return InfoOf(choice).settingKey;
}

std::optional<EllipsoidChoice> ParseEllipsoidKey(std::string_view key)
{
    for (const EllipsoidChoice choice : kEllipsoidChoices) {
        if (SettingKey(choice) == key) {
            return choice;
        }
    }
    return std::nullopt;
}

}  // namespace keldarn::geodesy
