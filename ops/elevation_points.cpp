#include "ops/elevation_points.h"

#include "geodesy/number_text.h"
#include "i18n/interface_text.h"

namespace keldarn::ops {

ElevationPoints ElevationPointsOf(const points::PointTableModel& table)
{
    ElevationPoints points;
    for (int row = 1; row <= table.DataRowCount(); ++row) {
        try {
            const double x = geodesy::ParseNumber(table.CellView(points::kXColumn, row));
            const double y = geodesy::ParseNumber(table.CellView(points::kYColumn, row));
            const double h = geodesy::ParseNumber(table.CellView(points::kHColumn, row));
            points.entries.push_back({y, x, h});
        } catch (const geodesy::InvalidNumberError&) {
            ++points.unreadable;
        }
    }
    return points;
}

void DrawElevationPointsInto(cad::DrawingModel& model, const ElevationPoints& points)
{
    cad::DrawElevationPoints(model, points.entries, kElevationLabelDecimals,
                             cad::ProgramTextHeight(model.LtScale()));
}

std::string NoElevationPointsMessage()
{
    return i18n::Translate("ops", "点表中没有X、Y、H都是数字的点，没有画入CAD图形。");
}

std::string ElevationPointsSummary(const ElevationPoints& points)
{
    std::string text = i18n::Format(i18n::Translate("ops", "已把%1个高程点画入CAD图形（图层“高程点”）。"),
                                    {std::to_string(points.entries.size())});
    if (points.unreadable > 0)
        text += i18n::Format(i18n::Translate("ops", "\n有%1行的X、Y或H不是数字，没有画入。"),
                             {std::to_string(points.unreadable)});
    return text;
}

}  // namespace keldarn::ops
