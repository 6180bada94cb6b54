#include "ops/kml_shapes.h"

#include "i18n/interface_text.h"
#include "survey/survey_error.h"

namespace keldarn::ops {

std::vector<kml::KmlShape> KmlShapesOfKind(const std::filesystem::path& path, bool area,
                                           const kml::KmlReadLimits& limits)
{
    std::vector<kml::KmlShape> shapes;
    for (kml::KmlShape& shape : kml::ReadKmlShapes(path, limits))
        if (shape.isArea == area)
            shapes.push_back(std::move(shape));
    if (shapes.empty()) {
        const std::string missing =
            area ? i18n::Translate("ops", "%1 中没有多边形（闭合的坐标串），不能作为区域边界。")
                 : i18n::Translate("ops", "%1 中没有路径（两个顶点以上的线），不能作为路线。");
        throw survey::SurveyInputError(i18n::Format(missing, {path.filename().string()}));
    }
    return shapes;
}

std::string ShapeName(const kml::KmlShape& shape, const std::filesystem::path& path)
{
    return shape.name.empty() ? path.stem().string() : shape.name;
}

}  // namespace keldarn::ops
