#include "ops/kml_to_drawing.h"

#include "i18n/interface_text.h"

namespace keldarn::ops {

std::string KmlToDrawingResult::NothingDrawn() const
{
    if (Drawn())
        return {};
    std::string found;
    const auto count = [&found](std::size_t n, const std::string& what) {
        if (n > 0)
            found += (found.empty() ? std::string() : i18n::Translate("ops", "、")) +
                     i18n::Format(what, {std::to_string(n)});
    };
    count(summary.placemarks, i18n::Translate("ops", "%1 个地标（Placemark）"));
    count(summary.models, i18n::Translate("ops", "%1 个三维模型（Model）"));
    count(summary.overlays, i18n::Translate("ops", "%1 个图片叠加层（Overlay）"));
    return found.empty()
               ? i18n::Translate("ops", "KML文件中没有可绘制的点或线，也没有地标（Placemark）。")
               : i18n::Format(i18n::Translate("ops", "KML文件中没有可绘制的点或线（文件中有：%1）。"), {found});
}

std::string KmlToDrawingResult::LinksNotFollowed() const
{
    if (summary.outsideLinks == 0)
        return {};
    return i18n::Format(
        i18n::Translate("ops", "有 %1 个网络链接（NetworkLink）指向文件以外的地址，没有读取：%2"),
        {std::to_string(summary.outsideLinks), summary.firstOutsideLink});
}

KmlToDrawingResult DrawKmlIntoDrawing(const KmlToDrawingRequest& request, cad::IAcadModelSpace& modelSpace)
{
    return {cad::DrawKmlFile(request.kmlFile, request.frame, request.textHeight, modelSpace, request.limits)};
}

}  // namespace keldarn::ops
