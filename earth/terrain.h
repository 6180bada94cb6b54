#pragma once

// The elevation model the viewer shows and queries: a north-up grid of elevations in WGS84
// geographic coordinates, held in memory.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace keldarn::earth {

// A terrain source cannot be read; the message names the file or folder and the reason.
class TerrainError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where the samples of a grid lie. Samples sit at cell centres (GDAL's "pixel is area"
// centres); row 0 is the northernmost row and column 0 the westernmost column.
struct GridGeometry {
    int columns = 0;           // >= 2
    int rows = 0;              // >= 2
    double westLonDeg = 0.0;   // longitude of the samples of column 0
    double northLatDeg = 0.0;  // latitude of the samples of row 0
    double stepLonDeg = 0.0;   // > 0, eastwards from one column to the next
    double stepLatDeg = 0.0;   // > 0, southwards from one row to the next
};

// A place in the elevation grid: column and row as real numbers (column eastwards, row
// southwards), sample (c, r) at integer values. Not the survey grid of geodesy::GridPoint.
struct CellPosition {
    double column = 0.0;
    double row = 0.0;
};

class Terrain {
public:
    // elevationsM holds columns × rows samples row by row (metres; NaN = no data).
    // Throws TerrainError when the geometry is invalid or no sample holds data; `name`
    // is the file, folder or description the error messages and the viewer show.
    Terrain(GridGeometry grid, std::vector<float> elevationsM, std::string name, bool synthetic);

    // The bilinear elevation (metres) at a geographic point (degrees, WGS84), or nothing
    // outside the samples' hull or where a sample with weight in the result (above 1e-9)
    // has no data.
    std::optional<double> ElevationM(double latDeg, double lonDeg) const;

    // The same at grid coordinates.
    std::optional<double> ElevationAtGridM(double column, double row) const;

    // An elevation for anchoring the camera that exists everywhere: the point is moved
    // into the grid's hull first; where the data has a hole there, the middle of the
    // elevation range is used.
    double AnchorElevationM(double latDeg, double lonDeg) const;

    // Where a geographic point (degrees, WGS84) lies in the grid.
    CellPosition CellPositionOf(double latDeg, double lonDeg) const;
    double LatitudeOfRowDeg(double row) const { return grid_.northLatDeg - row * grid_.stepLatDeg; }
    double LongitudeOfColumnDeg(double column) const { return grid_.westLonDeg + column * grid_.stepLonDeg; }

    // One sample (metres, NaN = no data); column and row must lie in the grid.
    float SampleM(int column, int row) const
    {
        return elevationsM_[static_cast<size_t>(row) * grid_.columns + column];
    }
    const std::vector<float>& Samples() const { return elevationsM_; }
    const GridGeometry& Grid() const { return grid_; }

    double SouthLatDeg() const { return LatitudeOfRowDeg(grid_.rows - 1); }
    double NorthLatDeg() const { return grid_.northLatDeg; }
    double WestLonDeg() const { return grid_.westLonDeg; }
    double EastLonDeg() const { return LongitudeOfColumnDeg(grid_.columns - 1); }

    // Lowest and highest sample with data (metres).
    double MinElevationM() const { return minElevationM_; }
    double MaxElevationM() const { return maxElevationM_; }
    // Mean of the samples with data (metres).
    double MeanElevationM() const { return meanElevationM_; }

    // An upper bound of the surface's slope (metres of height per metre on the ground),
    // taken over every pair of neighbouring samples with data. The bilinear surface never
    // rises faster than this in any direction, which makes it a safe step bound for rays.
    double MaxSlope() const { return maxSlope_; }

    // Ground size of one cell at the grid's middle latitude (metres), the smaller side.
    double CellSizeM() const { return cellSizeM_; }

    bool IsSynthetic() const { return synthetic_; }
    const std::string& Name() const { return name_; }

private:
    void ComputeStatistics();

    GridGeometry grid_;
    std::vector<float> elevationsM_;
    std::string name_;
    bool synthetic_ = false;
    double minElevationM_ = 0.0;
    double maxElevationM_ = 0.0;
    double meanElevationM_ = 0.0;
    double maxSlope_ = 0.0;
    double cellSizeM_ = 0.0;
};

// Ground length of one degree of latitude and of longitude at a latitude (metres), on the
// WGS84 ellipsoid: M·π/180 and N·cos B·π/180 with the meridian and normal radii M and N.
double MetresPerDegreeLat(double latDeg);
double MetresPerDegreeLon(double latDeg);

}  // namespace keldarn::earth
