#pragma once

// Terrains with known elevations for the earth tests, and GeoTIFF files written with GDAL.

#include "earth/terrain.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace keldarn::testing {

// A grid of columns × rows samples with the north-west sample at (northLatDeg,
// westLonDeg), spaced stepDeg, whose elevation is f(column, row).
std::shared_ptr<const earth::Terrain> GridTerrain(int columns, int rows, double northLatDeg,
                                                  double westLonDeg, double stepDeg,
                                                  const std::function<float(int, int)>& f);

// A grid of stepDeg cells covering centre ± halfExtentDeg, elevation f(latDeg, lonDeg).
std::shared_ptr<const earth::Terrain> TerrainAround(double centreLatDeg, double centreLonDeg,
                                                    double halfExtentDeg, double stepDeg,
                                                    const std::function<float(double, double)>& f);

// Writes a one-band Float32 GeoTIFF. geoTransform is GDAL's (pixel corners), empty for
// none; crsText is
// anything OGRSpatialReference::SetFromUserInput accepts, empty for none.
void WriteGeoTiff(const std::string& path, const std::vector<double>& geoTransform, int columns, int rows,
                  const std::vector<float>& values, const std::string& crsText,
                  std::optional<double> noData = std::nullopt);

// A scratch folder removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The source folder of the test fixtures (tests/data).
std::string TestDataDir();

}  // namespace keldarn::testing
