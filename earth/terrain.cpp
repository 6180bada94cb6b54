#include "earth/terrain.h"

#include "i18n/interface_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keldarn::earth {

namespace {

constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84E2 = 6.69437999014e-3;  // first eccentricity squared

bool ValidGeometry(const GridGeometry& g, size_t sampleCount)
{
    return g.columns >= 2 && g.rows >= 2 && g.stepLonDeg > 0.0 && g.stepLatDeg > 0.0 &&
           std::isfinite(g.westLonDeg) && std::isfinite(g.northLatDeg) &&
           sampleCount == static_cast<size_t>(g.columns) * static_cast<size_t>(g.rows);
}

}  // namespace

double MetresPerDegreeLat(double latDeg)
{
    const double s = std::sin(latDeg * std::numbers::pi / 180.0);
    const double w2 = 1.0 - kWgs84E2 * s * s;
    const double meridianRadiusM = kWgs84A * (1.0 - kWgs84E2) / (w2 * std::sqrt(w2));
    return meridianRadiusM * std::numbers::pi / 180.0;
}

double MetresPerDegreeLon(double latDeg)
{
    const double B = latDeg * std::numbers::pi / 180.0;
    const double s = std::sin(B);
    const double normalRadiusM = kWgs84A / std::sqrt(1.0 - kWgs84E2 * s * s);
    return normalRadiusM * std::cos(B) * std::numbers::pi / 180.0;
}

Terrain::Terrain(GridGeometry grid, std::vector<float> elevationsM, std::string name, bool synthetic)
    : grid_(grid), elevationsM_(std::move(elevationsM)), name_(std::move(name)), synthetic_(synthetic)
{
    if (!ValidGeometry(grid_, elevationsM_.size()))
        throw TerrainError(i18n::Format(
            i18n::Translate("earth", "地形文件“%1”无法使用：栅格至少需要 2×2 个有效排列的采样点"), {name_}));
    ComputeStatistics();
}

void Terrain::ComputeStatistics()
{
    double lowM = INFINITY;
    double highM = -INFINITY;
    double sumM = 0.0;
    size_t withData = 0;
    double slopeEastWest = 0.0;    // |Δh| per metre between horizontal neighbours
    double slopeNorthSouth = 0.0;  // |Δh| per metre between vertical neighbours
    const int cols = grid_.columns;
    const double rowStepM = grid_.stepLatDeg * MetresPerDegreeLat(LatitudeOfRowDeg(0.5 * (grid_.rows - 1)));
    for (int r = 0; r < grid_.rows; ++r) {
        // The poleward edge of a cell is the shortest, so its spacing bounds the slope.
        const double latDeg = LatitudeOfRowDeg(r);
        const double colStepM = std::max(grid_.stepLonDeg * MetresPerDegreeLon(latDeg), 1e-3);
        const float* row = &elevationsM_[static_cast<size_t>(r) * cols];
        const float* below = r + 1 < grid_.rows ? row + cols : nullptr;
        float steepestEW = 0.0f;
        float steepestNS = 0.0f;
        for (int c = 0; c < cols; ++c) {
            const float h = row[c];
            if (!std::isfinite(h))
                continue;
            lowM = std::min<double>(lowM, h);
            highM = std::max<double>(highM, h);
            sumM += h;
            ++withData;
            if (c + 1 < cols && std::isfinite(row[c + 1]))
                steepestEW = std::max(steepestEW, std::fabs(row[c + 1] - h));
            if (below != nullptr && std::isfinite(below[c]))
                steepestNS = std::max(steepestNS, std::fabs(below[c] - h));
        }
        slopeEastWest = std::max(slopeEastWest, steepestEW / colStepM);
        slopeNorthSouth = std::max(slopeNorthSouth, steepestNS / rowStepM);
    }
    if (!std::isfinite(lowM))
        throw TerrainError(
            i18n::Format(i18n::Translate("earth", "地形文件“%1”无法使用：所有采样点都是无数据值"), {name_}));
    minElevationM_ = lowM;
    maxElevationM_ = highM;
    meanElevationM_ = sumM / static_cast<double>(withData);
    // Within a bilinear cell each partial derivative is a blend of the two edge slopes.
    maxSlope_ = std::hypot(slopeEastWest, slopeNorthSouth);
    const double midLatDeg = LatitudeOfRowDeg(0.5 * (grid_.rows - 1));
    cellSizeM_ = std::min(grid_.stepLatDeg * MetresPerDegreeLat(midLatDeg),
                          std::max(grid_.stepLonDeg * MetresPerDegreeLon(midLatDeg), 1e-3));
}

CellPosition Terrain::CellPositionOf(double latDeg, double lonDeg) const
{
    // Longitudes are taken eastwards from the west edge modulo 360, so a grid that
    // crosses the antimeridian is looked up correctly.
    double eastOfWestDeg = lonDeg - grid_.westLonDeg;
    eastOfWestDeg -= 360.0 * std::floor(eastOfWestDeg / 360.0);
    return {.column = eastOfWestDeg / grid_.stepLonDeg,
            .row = (grid_.northLatDeg - latDeg) / grid_.stepLatDeg};
}

std::optional<double> Terrain::ElevationM(double latDeg, double lonDeg) const
{
    const CellPosition p = CellPositionOf(latDeg, lonDeg);
    return ElevationAtGridM(p.column, p.row);
}

std::optional<double> Terrain::ElevationAtGridM(double column, double row) const
{
    const int cols = grid_.columns;
    // Points on the outermost samples belong to the grid even when rounding of the
    // degrees put them a hair outside. Written so that NaN coordinates fail the test too.
    constexpr double kEdgeToleranceCells = 1e-7;
    if (!(column >= -kEdgeToleranceCells && column <= cols - 1 + kEdgeToleranceCells &&
          row >= -kEdgeToleranceCells && row <= grid_.rows - 1 + kEdgeToleranceCells))
        return std::nullopt;
    column = std::clamp(column, 0.0, cols - 1.0);
    row = std::clamp(row, 0.0, grid_.rows - 1.0);
    const int i = std::min(static_cast<int>(column), cols - 2);
    const int j = std::min(static_cast<int>(row), grid_.rows - 2);
    const double fx = column - i;
    const double fy = row - j;
    const float* p = &elevationsM_[static_cast<size_t>(j) * cols + i];
    const double h[4] = {p[0], p[1], p[cols], p[cols + 1]};
    const double w[4] = {(1.0 - fx) * (1.0 - fy), fx * (1.0 - fy), (1.0 - fx) * fy, fx * fy};
    const double value = h[0] * w[0] + h[1] * w[1] + h[2] * w[2] + h[3] * w[3];
    if (std::isfinite(value))
        return value;
    // A sample without data spoils the result only where it carries weight, so points on
    // the edge of a hole keep the values of their neighbours with data. Rounding of the grid
    // coordinates leaves weights of about 1e-14 on a neighbour at a sample's own position;
    // such weights count as none, and the others are renormalised.
    constexpr double kNegligibleWeight = 1e-9;
    double sum = 0.0;
    double weightSum = 0.0;
    for (int k = 0; k < 4; ++k) {
        if (w[k] < kNegligibleWeight)
            continue;
        if (!std::isfinite(h[k]))
            return std::nullopt;
        sum += h[k] * w[k];
        weightSum += w[k];
    }
    return sum / weightSum;
}

double Terrain::AnchorElevationM(double latDeg, double lonDeg) const
{
    const CellPosition p = CellPositionOf(latDeg, lonDeg);
    const double lastColumn = grid_.columns - 1.0;
    double column = std::isfinite(p.column) ? p.column : 0.0;
    if (column > lastColumn) {
        // East of the grid by the column count, or west of it going round the globe.
        const double westwardColumns = 360.0 / grid_.stepLonDeg - column;
        column = westwardColumns < column - lastColumn ? 0.0 : lastColumn;
    }
    const double row = std::clamp(std::isfinite(p.row) ? p.row : 0.0, 0.0, grid_.rows - 1.0);
    return ElevationAtGridM(column, row).value_or(0.5 * (minElevationM_ + maxElevationM_));
}

}  // namespace keldarn::earth
