#include "terrain_fixtures.h"

#include <gdal.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace keldarn::testing {

std::shared_ptr<const earth::Terrain> GridTerrain(int columns, int rows, double northLatDeg,
                                                  double westLonDeg, double stepDeg,
                                                  const std::function<float(int, int)>& f)
{
    earth::GridGeometry grid{columns, rows, westLonDeg, northLatDeg, stepDeg, stepDeg};
    std::vector<float> values(static_cast<size_t>(columns) * rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            values[static_cast<size_t>(r) * columns + c] = f(c, r);
    return std::make_shared<const earth::Terrain>(grid, std::move(values), "test grid", false);
}

std::shared_ptr<const earth::Terrain> TerrainAround(double centreLatDeg, double centreLonDeg,
                                                    double halfExtentDeg, double stepDeg,
                                                    const std::function<float(double, double)>& f)
{
    const int n = static_cast<int>(std::lround(2.0 * halfExtentDeg / stepDeg)) + 1;
    const double northDeg = centreLatDeg + halfExtentDeg;
    const double westDeg = centreLonDeg - halfExtentDeg;
    return GridTerrain(n, n, northDeg, westDeg, stepDeg,
                       [&](int c, int r) { return f(northDeg - r * stepDeg, westDeg + c * stepDeg); });
}

void WriteGeoTiff(const std::string& path, const std::vector<double>& geoTransform, int columns, int rows,
                  const std::vector<float>& values, const std::string& crsText, std::optional<double> noData)
{
    GDALAllRegister();
    GDALDriverH driver = GDALGetDriverByName("GTiff");
    const std::unique_ptr<void, void (*)(void*)> dataset(
        GDALCreate(driver, path.c_str(), columns, rows, 1, GDT_Float32, nullptr),
        [](void* d) { GDALClose(d); });
    if (!dataset)
        throw std::runtime_error("cannot create " + path);
    std::vector<double> gt = geoTransform;
    if (!gt.empty())
        GDALSetGeoTransform(dataset.get(), gt.data());
    if (!crsText.empty()) {
        OGRSpatialReference crs;
        crs.SetFromUserInput(crsText.c_str());
        GDALSetSpatialRef(dataset.get(), OGRSpatialReference::ToHandle(&crs));
    }
    GDALRasterBandH band = GDALGetRasterBand(dataset.get(), 1);
    if (noData)
        GDALSetRasterNoDataValue(band, *noData);
    std::vector<float> copy = values;
    if (GDALRasterIO(band, GF_Write, 0, 0, columns, rows, copy.data(), columns, rows, GDT_Float32, 0, 0) !=
        CE_None)
        throw std::runtime_error("cannot write " + path);
}

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "keldarn_earth_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TestDataDir()
{
    return KELDARN_TEST_DATA_DIR;
}

}  // namespace keldarn::testing
