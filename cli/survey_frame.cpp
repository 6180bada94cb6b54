#include "cli/survey_frame.h"

#include "settings/settings.h"
#include "geodesy/central_meridian.h"
#include "geodesy/survey_conversion.h"
#include "i18n/interface_text.h"

#include <filesystem>

namespace keldarn::cli {

std::optional<std::string> SettingsFileFromOptions(const ParsedOptions& options)
{
    const auto path = options.Value("settings");
    if (path && !std::filesystem::exists(*path))
        throw UsageError(i18n::Format(i18n::Translate("cli", "找不到设置文件 %1"), {*path}));
    // The run stops: the defaults in its place would shift every point by the parameters the
    // file was meant to give, without a word.
    if (path)
        if (const std::string problem = settings::SettingsFileProblem(*path); !problem.empty())
            throw InputError(problem);
    return path;
}

TerrainOption TerrainFromOptions(const ParsedOptions& options)
{
    const auto settingsPath = SettingsFileFromOptions(options);
    TerrainOption terrain;
    terrain.path = options.Value("terrain").value_or(settingsPath ? settings::LoadTerrainSource(*settingsPath)
                                                                  : std::string());
    if (terrain.path.empty())
        throw UsageError(i18n::Translate("cli", "缺少 --terrain（地形数据），设置文件中也没有"));
    terrain.cacheBytes = settingsPath ? settings::LoadTerrainCacheBytes(*settingsPath)
                                      : static_cast<std::size_t>(settings::kDefaultTerrainCacheMB) << 20;
    return terrain;
}

SurveyFrame SurveyFrameFromOptions(const ParsedOptions& options)
{
    const auto settingsPath = SettingsFileFromOptions(options);
    const settings::FourParamTexts stored =
        settingsPath ? settings::LoadSettings(*settingsPath).params : settings::FourParamTexts{};
    const auto meridian = options.Value("meridian");
    if (!meridian)
        throw UsageError(i18n::Translate("cli", "缺少 --meridian（中央子午线经度）"));
    double centralMeridianDeg = 0.0;
    try {
        centralMeridianDeg = geodesy::ReadCentralMeridian(*meridian);
    } catch (const std::exception& error) {
        throw UsageError(i18n::Format(i18n::Translate("cli", "--meridian：%1"), {error.what()}));
    }
    const auto text = [&](const char* option, const std::string& fromSettings) {
        return options.Value(option).value_or(fromSettings);
    };
    const std::string dx = text("dx", stored.xdis), dy = text("dy", stored.ydis),
                      rot = text("rot", stored.rot), scale = text("scale", stored.sca),
                      dh = text("dh", stored.hdis);
    geodesy::FourParamCoefficients transform;
    try {
        transform = geodesy::MakeFourParamCoefficients(geodesy::ReadFourParameters({dx, dy, rot, scale, dh}));
    } catch (const std::exception& error) {
        throw UsageError(i18n::Format(i18n::Translate("cli", "四参数：%1"), {error.what()}));
    }
    if (!(transform.c * transform.c + transform.s * transform.s > 0.0))
        throw UsageError(i18n::Translate("cli", "四参数：尺度比例 m 为 −1，无法换算"));
    // The national system as the window keeps it ([Projection]); the program's own without one.
    geodesy::ProjectionChoice projection;
    if (settingsPath) {
        settings::ProjectionSettings read = settings::ReadProjectionSettings(*settingsPath);
        if (!read.problem.empty())
            throw UsageError(read.problem);
        projection = read.choice;
    }
    try {
        return SurveyFrame(centralMeridianDeg, transform, projection);
    } catch (const geodesy::ProjectionSetupError& error) {
        throw UsageError(i18n::Format(i18n::Translate("cli", "--meridian：%1"), {error.what()}));
    }
}

}  // namespace keldarn::cli
