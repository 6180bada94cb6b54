#include "geodesy/ellipsoid.h"

#include "i18n/interface_text.h"

#include <cstddef>
#include <string>

namespace keldarn::geodesy {
namespace {

struct ChoiceInfo {
    const Ellipsoid* ellipsoid;
    std::string_view settingKey;
};

// Indexed by EllipsoidChoice.
constexpr std::array<ChoiceInfo, kEllipsoidChoices.size()> kChoiceInfo{{
    {&kProgramEllipsoid, "Program"},
    {&kCgcs2000, "CGCS2000"},
    {&kWgs84, "WGS84"},
    {&kXian80, "Xian80"},
    {&kBeijing54, "Beijing54"},
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

std::string DisplayName(EllipsoidChoice choice)
{
    switch (choice) {
    case EllipsoidChoice::Program:
        return i18n::Translate("geodesy", "程序默认椭球");
    case EllipsoidChoice::Cgcs2000:
        return "CGCS2000";
    case EllipsoidChoice::Wgs84:
        return "WGS84";
    case EllipsoidChoice::Xian80:
        return i18n::Translate("geodesy", "西安80（IAG-75）");
    case EllipsoidChoice::Beijing54:
        return i18n::Translate("geodesy", "北京54（克拉索夫斯基）");
    }
    return {};
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
