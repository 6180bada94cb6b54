#include "earth/grid_sampling.h"

#include "geodesy/gauss_kruger.h"
#include "i18n/interface_text.h"

#include <cmath>
#include <optional>

namespace keldarn::earth {

namespace {

void CheckSpacing(double spacingM)
{
    if (!(spacingM > 0.0))
        throw SamplingGridError(i18n::Translate("earth", "自动采点间距必须大于0米。"));
}

// trunc(span / spacing), with a span that runs backwards (a view turned upside down)
// counting as no interval; nothing when the count is beyond any sane grid.
std::optional<std::int64_t> IntervalCount(double spanM, double spacingM)
{
    const double intervals = std::trunc(spanM / spacingM);
    if (!std::isfinite(intervals) || intervals > static_cast<double>(kMaxGridPoints))
        return std::nullopt;
    return intervals < 0.0 ? 0 : static_cast<std::int64_t>(intervals);
}

}  // namespace

ScreenPoint SamplingGrid::PointAt(std::int64_t i, std::int64_t j) const
{
    return {2.0 * static_cast<double>(j) / static_cast<double>(nW) - 1.0,
            2.0 * static_cast<double>(i) / static_cast<double>(nV) - 1.0};
}

std::int64_t EstimatePointCount(double spanVM, double spanWM, double spacingM)
{
    CheckSpacing(spacingM);
    const auto nV = IntervalCount(spanVM, spacingM);
    const auto nW = IntervalCount(spanWM, spacingM);
    if (!nV || !nW)
        throw SamplingGridError(i18n::Translate("earth", "自动采点间距太小，采点数量过多。"));
    return (*nW + 1) * (*nV + 1);
}

SamplingGrid MakeSamplingGrid(double spanVM, double spanWM, double spacingM)
{
    CheckSpacing(spacingM);
    const auto nV = IntervalCount(spanVM, spacingM);
    const auto nW = IntervalCount(spanWM, spacingM);
    if (!nV || !nW || (*nV + 1) * (*nW + 1) > kMaxGridPoints)
        throw SamplingGridError(
            i18n::Translate("earth", "自动采点间距太小，采点数量超过1000万个，请加大间距。"));
    if (*nV < 1 || *nW < 1)
        throw SamplingGridError(i18n::Translate("earth",
                                                "自动采点间距大于地图窗的纵向或横向距离，无法形成采点格网，"
                                                "请减小间距或刷新地图窗范围。"));
    return {*nV, *nW};
}

ViewSpans MeasureViewSpans(const geodesy::GeoPoint& left, const geodesy::GeoPoint& right,
                           const geodesy::GeoPoint& bottom, const geodesy::GeoPoint& top, double centreLonDeg)
{
    using geodesy::GaussForward;
    const double xTop = GaussForward(top.latDeg, top.lonDeg - centreLonDeg).x;
    const double xBottom = GaussForward(bottom.latDeg, bottom.lonDeg - centreLonDeg).x;
    const double yRight = GaussForward(right.latDeg, right.lonDeg - centreLonDeg).y;
    const double yLeft = GaussForward(left.latDeg, left.lonDeg - centreLonDeg).y;
    return {xTop - xBottom, yRight - yLeft};
}

}  // namespace keldarn::earth
