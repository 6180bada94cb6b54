#include "ops/profile.h"

#include "geodesy/number_text.h"
#include "i18n/interface_text.h"
#include "survey/survey_error.h"

namespace keldarn::ops {

namespace {

QString Millimetres(double valueM)
{
    return QString::fromStdString(geodesy::FormatGridCoordinate(valueM));
}

}  // namespace

geodesy::GeoRing RouteVertices(geodesy::GeoRing line)
{
    // SampleRoute says so too, but only once the run has started.
    if (line.size() < 2)
        throw survey::SurveyInputError(i18n::Translate("survey", "路线至少要有两个顶点。"));
    return line;
}

geodesy::GeoRing RouteVerticesFromGrid(std::span<const geodesy::PlanePoint> gridPoints,
                                       const survey::SurveyFrame& frame)
{
    geodesy::GeoRing line;
    line.reserve(gridPoints.size());
    for (const geodesy::PlanePoint& point : gridPoints)
        line.push_back(frame.ToGeographic(point));
    return RouteVertices(std::move(line));
}

ProfileResult RunProfile(const ProfileRequest& request, survey::TaskProgress* progress)
{
    return {survey::SampleRoute(request.routeVertices, request.intervalM, request.frame, request.measure,
                                request.heights, progress)};
}

ProfileTableRows ProfileRowsForTable(std::span<const survey::ProfileSample> samples,
                                     const std::string& routeName, double startChainageM)
{
    ProfileTableRows table;
    const std::vector<survey::ProfileRow> rows =
        survey::ProfileRows(samples, routeName, startChainageM, &table.skipped);
    table.cells.reserve(rows.size());
    for (const survey::ProfileRow& row : rows)
        table.cells.push_back({QString::fromStdString(row.name), QString::fromStdString(row.description),
                               Millimetres(row.x), Millimetres(row.y), Millimetres(row.h)});
    return table;
}

std::string SkippedSamplesNote(const ProfileTableRows& rows)
{
    if (rows.skipped == 0)
        return {};
    return i18n::Format(i18n::Translate("ops", "有%1个点没有地形数据，未加入。"),
                        {std::to_string(rows.skipped)});
}

std::string ProfileRowsSummary(const ProfileTableRows& rows)
{
    return i18n::Format(i18n::Translate("ops", "已把纵断面的%1个点加入点表。"),
                        {std::to_string(rows.cells.size())}) +
           SkippedSamplesNote(rows);
}

}  // namespace keldarn::ops
