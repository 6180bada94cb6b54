#include "ops/contours.h"

#include "cad/terrain_drawing.h"
#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "survey/boundary_sampling.h"

namespace keldarn::ops {

AreaRings AreaOfBox(const geodesy::GeoBox& box)
{
    return {{{.latDeg = box.southDeg, .lonDeg = box.westDeg},
             {.latDeg = box.southDeg, .lonDeg = box.eastDeg},
             {.latDeg = box.northDeg, .lonDeg = box.eastDeg},
             {.latDeg = box.northDeg, .lonDeg = box.westDeg}}};
}

AreaRings AreaOfRings(const std::vector<geodesy::GeoRing>& rings)
{
    survey::CheckBoundary(rings);
    return rings;
}

ContoursResult RunContours(const ContoursRequest& request, survey::TaskProgress* progress)
{
    ContoursResult result;
    result.lines = survey::GenerateContours(request.terrainPath, request.area, request.intervalM,
                                            request.frame, progress);
    for (const survey::ContourLine& line : result.lines)
        result.indexLines += line.isIndex ? 1 : 0;
    return result;
}

void DrawContoursInto(cad::DrawingModel& model, const ContoursResult& result)
{
    std::vector<cad::ContourPolyline> polylines;
    polylines.reserve(result.lines.size());
    for (const survey::ContourLine& line : result.lines)
        polylines.push_back({line.elevationM, line.isIndex, line.xy});
    cad::DrawContours(model, polylines, cad::ProgramTextHeight(model.LtScale()));
}

std::string NoContoursMessage()
{
    return i18n::Translate("ops", "所选范围内没有等高线（地形起伏小于等高距？）。");
}

std::string ContoursSummary(const ContoursResult& result, double seconds)
{
    return i18n::Format(i18n::Translate("ops", "已把%1条等高线（其中计曲线%2条）画入CAD图形，用时%3秒。"),
                        {std::to_string(result.lines.size()), std::to_string(result.indexLines),
                         geodesy::FormatFixed(seconds, 1)});
}

}  // namespace keldarn::ops
