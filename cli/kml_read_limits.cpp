#include "cli/kml_read_limits.h"

#include "cli/survey_frame.h"
#include "i18n/interface_text.h"
#include "kml/kml_error.h"
#include "ops/kml_shapes.h"
#include "settings/settings.h"
#include "survey/survey_error.h"

#include <algorithm>
#include <filesystem>

namespace keldarn::cli {

kml::KmlReadLimits KmlReadLimitsFromOptions(const ParsedOptions& options)
{
    const auto settingsPath = SettingsFileFromOptions(options);
    if (!settingsPath)
        return {};
    const settings::KmzEntryLimitSetting read = settings::ReadKmzEntryLimit(*settingsPath);
    if (!read.problem.empty())
        throw UsageError(read.problem);
    return {static_cast<std::uint64_t>(read.megabytes)};
}

ChosenKmlShape KmlShapeFromOptions(const ParsedOptions& options, bool area)
{
    const std::string path = options.Value("kml").value_or(std::string());
    if (!std::filesystem::exists(path))  // a read that fails: status 2, as in every subcommand
        throw RunError(i18n::Format(i18n::Translate("cli", "找不到输入文件 %1"), {path}));
    std::vector<kml::KmlShape> shapes;
    try {
        shapes = ops::KmlShapesOfKind(path, area, KmlReadLimitsFromOptions(options));
    } catch (const kml::KmlError& error) {
        throw InputError(error.what());
    } catch (const survey::SurveyInputError& error) {
        throw InputError(error.what());
    }
    auto chosen = shapes.begin();
    if (const auto name = options.Value("name")) {
        chosen = std::find_if(shapes.begin(), shapes.end(),
                              [&](const kml::KmlShape& shape) { return ops::ShapeName(shape, path) == *name; });
        if (chosen == shapes.end())
            throw InputError(i18n::Format(area ? i18n::Translate("cli", "%1 中没有名为“%2”的多边形")
                                               : i18n::Translate("cli", "%1 中没有名为“%2”的路径"),
                                          {path, *name}));
    }
    std::string name = ops::ShapeName(*chosen, path);
    return {std::move(*chosen), std::move(name)};
}

}  // namespace keldarn::cli
