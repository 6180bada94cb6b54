#include "survey/route_profile.h"

#include "geodesy/four_param.h"
#include "geodesy/zone_projection.h"
#include "i18n/interface_text.h"
#include "survey/survey_error.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace keldarn::survey {

namespace {

// A round chainage this close to a vertex's chainage is the vertex itself (metres).
constexpr double kVertexSnapM = 0.001;
// Points per call of the height query: big enough for the DEM's batch transformation to pay
// off, small enough for progress and cancel to answer within a fraction of a second.
constexpr std::size_t kHeightChunk = 8192;

// One leg of the route between vertex i and i + 1, with the multiples k of the interval whose
// chainage k · interval lies strictly inside it (kFirst > kLast when there are none). The k are
// held as doubles so that an absurdly small interval is counted without overflow.
struct Segment {
    GeographicLib::GeodesicLine line;
    double geodesicM = 0.0;       // s12 on WGS84
    double startChainageM = 0.0;  // chainage of vertex i
    double lengthM = 0.0;         // chainage length, in the chosen measure
    double kFirst = 0.0;
    double kLast = -1.0;
};

void CheckInput(std::span<const geodesy::GeoPoint> vertices, double intervalM)
{
    if (vertices.size() < 2)
        throw SurveyInputError(i18n::Translate("survey", "路线至少要有两个顶点。"));
    if (!std::isfinite(intervalM) || intervalM <= 0.0)
        throw SurveyInputError(i18n::Translate("survey", "采样间距必须大于0。"));
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const geodesy::GeoPoint& v = vertices[i];
        const std::string number = std::to_string(i + 1);
        if (!std::isfinite(v.latDeg) || !std::isfinite(v.lonDeg))
            throw SurveyInputError(
                i18n::Format(i18n::Translate("survey", "第%1个顶点的经纬度不是有效数字。"), {number}));
        if (std::fabs(v.latDeg) > 90.0)
            throw SurveyInputError(
                i18n::Format(i18n::Translate("survey", "第%1个顶点的纬度超出 ±90°。"), {number}));
    }
}

// A count as the message shows it: every digit, or three significant ones when it is
// astronomically large.
std::string CountText(double count)
{
    char text[64];
    std::snprintf(text, sizeof text, count < 1e15 ? "%.0f" : "%.3g", count);
    return text;
}

std::vector<Segment> PlanSegments(std::span<const geodesy::GeoPoint> vertices,
                                  std::span<const geodesy::GridPoint> grid, double intervalM,
                                  ChainageMeasure measure)
{
    const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
    std::vector<Segment> segments(vertices.size() - 1);
    double chainageM = 0.0;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        Segment& s = segments[i];
        s.line = wgs84.InverseLine(vertices[i].latDeg, vertices[i].lonDeg, vertices[i + 1].latDeg,
                                   vertices[i + 1].lonDeg);
        s.geodesicM = s.line.Distance();
        s.lengthM = measure == ChainageMeasure::Ellipsoid
                        ? s.geodesicM
                        : std::hypot(grid[i + 1].x - grid[i].x, grid[i + 1].y - grid[i].y);
        s.startChainageM = chainageM;
        chainageM += s.lengthM;
        if (s.lengthM > 0.0 && s.geodesicM > 0.0) {
            s.kFirst = std::floor((s.startChainageM + kVertexSnapM) / intervalM) + 1.0;
            s.kLast = std::ceil((chainageM - kVertexSnapM) / intervalM) - 1.0;
        }
    }
    return segments;
}

double SampleCount(std::span<const Segment> segments)
{
    double count = static_cast<double>(segments.size()) + 1.0;
    for (const Segment& s : segments)
        count += std::max(0.0, s.kLast - s.kFirst + 1.0);
    return count;
}

// Fills heightM of every sample: DEM height plus the frame's dH.
void QueryHeights(std::vector<ProfileSample>& samples, const SurveyFrame& frame, const HeightQuery& heights,
                  TaskProgress* progress)
{
    std::vector<geodesy::GeoPoint> points;
    std::vector<std::optional<double>> demHeightsM;
    for (std::size_t begin = 0; begin < samples.size(); begin += kHeightChunk) {
        const std::size_t end = std::min(samples.size(), begin + kHeightChunk);
        points.clear();
        for (std::size_t i = begin; i < end; ++i)
            points.push_back({.latDeg = samples[i].latDeg, .lonDeg = samples[i].lonDeg});
        demHeightsM.assign(points.size(), std::nullopt);
        heights(points, demHeightsM);
        for (std::size_t i = begin; i < end; ++i)
            if (const std::optional<double>& h = demHeightsM[i - begin])
                samples[i].heightM = frame.GridHeightM(*h);
        if (progress) {
            progress->Set(static_cast<double>(end) / static_cast<double>(samples.size()));
            progress->ThrowIfCancelled();
        }
    }
}

// Digits, at most one '.', and at least one digit: what may stand for metres.
bool IsDecimal(std::string_view text)
{
    const std::size_t point = text.find('.');
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (point == std::string_view::npos)
        return !text.empty() && digits(text);
    return text.size() > 1 && digits(text.substr(0, point)) && digits(text.substr(point + 1));
}

std::optional<double> ParseDecimal(std::string_view text)
{
    if (!IsDecimal(text))
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

std::vector<ProfileSample> SampleRoute(std::span<const geodesy::GeoPoint> vertices, double intervalM,
                                       const SurveyFrame& frame, ChainageMeasure measure,
                                       const HeightQuery& heights, TaskProgress* progress)
{
    CheckInput(vertices, intervalM);
    // Before the heights are read the grid points are taken at elevation 0, which puts them
    // centimetres off at most with a datum shift; they are placed again once the heights are in.
    std::vector<geodesy::GridPoint> grid;
    grid.reserve(vertices.size());
    for (const geodesy::GeoPoint& v : vertices)
        grid.push_back(frame.ToGrid(v, 0.0));
    const std::vector<Segment> segments = PlanSegments(vertices, grid, intervalM, measure);

    const double count = SampleCount(segments);
    if (count > static_cast<double>(kMaxPlannedPoints))
        throw SurveyInputError(i18n::Format(
            i18n::Translate("survey", "纵断面将有 %1 个采样点，超过上限 %2 个，请加大采样间距。"),
            {CountText(count), std::to_string(kMaxPlannedPoints)}));

    std::vector<ProfileSample> samples;
    samples.reserve(static_cast<std::size_t>(count));
    const auto addVertex = [&](std::size_t i, double chainageM) {
        samples.push_back(
            {vertices[i].latDeg, vertices[i].lonDeg, chainageM, grid[i].x, grid[i].y, {}, true});
    };
    addVertex(0, 0.0);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Segment& s = segments[i];
        for (double k = s.kFirst; k <= s.kLast; k += 1.0) {
            const double chainageM = k * intervalM;
            // Same fraction of the geodesic as of the chainage length: in SurveyPlane mode the
            // grid length is spread evenly along the segment.
            const double fraction = (chainageM - s.startChainageM) / s.lengthM;
            ProfileSample sample;
            s.line.Position(fraction * s.geodesicM, sample.latDeg, sample.lonDeg);
            const geodesy::GridPoint g =
                frame.ToGrid({.latDeg = sample.latDeg, .lonDeg = sample.lonDeg}, 0.0);
            sample.chainageM = chainageM;
            sample.x = g.x;
            sample.y = g.y;
            samples.push_back(sample);
        }
        addVertex(i + 1, s.startChainageM + s.lengthM);
    }
    QueryHeights(samples, frame, heights, progress);
    // With a datum shift the grid point moves with the height, known only now.
    if (frame.Projection().DependsOnHeight())
        for (ProfileSample& sample : samples)
            if (sample.heightM) {
                const geodesy::GridPoint g = frame.ToGrid({.latDeg = sample.latDeg, .lonDeg = sample.lonDeg},
                                                          frame.ElevationM(*sample.heightM));
                sample.x = g.x;
                sample.y = g.y;
            }
    return samples;
}

std::string ChainageName(double chainageM)
{
    if (!std::isfinite(chainageM))
        return {};
    // Fixed notation of the largest double is 309 digits; to_chars rounds the exact binary
    // value, so the decimal rounding is correct and carries into metres and kilometres.
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(chainageM), std::chars_format::fixed, 3);
    if (error != std::errc())
        return {};
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));  // "12345.678"
    const std::string_view whole = text.substr(0, text.size() - 4);
    const std::string_view decimals = text.substr(text.size() - 3);
    std::string metres(whole.size() >= 3 ? whole.substr(whole.size() - 3) : whole);
    metres.insert(0, 3 - metres.size(), '0');
    const std::string km(whole.size() > 3 ? whole.substr(0, whole.size() - 3) : std::string_view("0"));
    // A negative chainage that rounds to zero is written without its sign.
    const bool negative = chainageM < 0.0 && text.find_first_not_of("0.") != std::string_view::npos;
    return (negative ? "-K" : "K") + km + "+" + metres + "." + std::string(decimals);
}

std::optional<double> ParseChainage(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n\f\v";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    std::optional<double> value;
    if (!text.empty() && (text.front() == 'K' || text.front() == 'k')) {
        const std::size_t plus = text.find('+');
        if (plus == std::string_view::npos)
            return std::nullopt;
        const std::string_view km = text.substr(1, plus - 1);
        const std::optional<double> kilometres =
            km.find('.') == std::string_view::npos ? ParseDecimal(km) : std::nullopt;
        const std::optional<double> metres = ParseDecimal(text.substr(plus + 1));
        if (!kilometres || !metres || *metres >= 1000.0)
            return std::nullopt;
        value = *kilometres * 1000.0 + *metres;
    } else {
        value = ParseDecimal(text);
    }
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

std::vector<ProfileRow> ProfileRows(std::span<const ProfileSample> samples, std::string_view routeName,
                                    double startChainageM, std::size_t* skipped)
{
    std::vector<ProfileRow> rows;
    rows.reserve(samples.size());
    for (const ProfileSample& sample : samples)
        if (sample.heightM)
            rows.push_back({ChainageName(startChainageM + sample.chainageM), std::string(routeName), sample.x,
                            sample.y, *sample.heightM});
    if (skipped)
        *skipped = samples.size() - rows.size();
    return rows;
}

}  // namespace keldarn::survey
