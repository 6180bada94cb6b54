#include "ops/drawing_to_kml.h"

#include "i18n/interface_text.h"

namespace keldarn::ops {

std::optional<cad::KmlWriteResult> WritePickedAsKml(cad::IAcadDocument& document, const survey::SurveyFrame& frame,
                                                    const std::filesystem::path& target)
{
    std::optional<cad::KmlWriteResult> result;
    // The selection set, which keeps the drawing window's own commands locked, is gone once
    // the file is written.
    WithPickedTextsAndPolylines(document, "ssObj", [&](const cad::IAcadSelectionSet& selection) {
        if (selection.Count() > 0)
            result = cad::WriteKmlFromSelection(selection, frame, target);
    });
    return result;
}

std::string LeftOutOfKml(const cad::KmlWriteResult& result)
{
    if (result.leftOut == 0)
        return {};
    return i18n::Format(
        i18n::Translate("ops", "有%1个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），没有写入KML文件。"),
        {std::to_string(result.leftOut)});
}

}  // namespace keldarn::ops
