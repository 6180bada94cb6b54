#include "survey/contours.h"

#include "i18n/interface_text.h"
#include "raster/gdal_handles.h"
#include "raster/gdal_support.h"
#include "raster/mosaic.h"
#include "survey/survey_error.h"

#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <ogr_api.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>

namespace keldarn::survey {

namespace {

using raster::DatasetPtr;
using raster::TransformationPtr;

// Void cells of the window hold this value, which no scaled height reaches; GDAL's contour
// generator takes it as its no-data value and ends lines next to such cells.
constexpr float kVoid = -FLT_MAX;

// Edges of the area's rings are straight in latitude/longitude; in a projected DEM CRS they
// bend. Pieces of at most this many degrees (about 100 m) keep the chord within a millimetre
// of the curve.
constexpr double kMaxEdgeStepDeg = 1e-3;

// Shares of the progress: reading the window, making the lines, clipping and carrying them.
constexpr double kReadShare = 0.15;
constexpr double kContourShare = 0.60;
constexpr int kLinesPerProgressStep = 256;

std::string OutsideMessage()
{
    return i18n::Translate("survey", "所选范围不在高程数据范围之内。");
}

struct Dem {
    DatasetPtr dataset;
    GDALRasterBand* band = nullptr;
    std::array<double, 6> gt{};
    std::array<double, 6> inverseGt{};  // CRS x/y → pixel/line
    OGRSpatialReference crs;            // easting (longitude) first, as the geotransform uses it
};

// The DEM as ElevationSource opens it. Whatever stands in the way of reading it (no file, no
// geotransform, no CRS, ...) is reported by ElevationSource itself, in its words.
Dem OpenDem(const std::string& path)
{
    Dem dem;
    if (raster::IsTileCollection(path)) {
        dem.dataset.reset(GDALDataset::FromHandle(raster::BuildFolderMosaic(path).release()));
    } else {
        dem.dataset.reset(GDALDataset::FromHandle(GDALOpenEx(
            raster::GdalPathOf(path).c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
    }
    const OGRSpatialReference* crs = dem.dataset ? dem.dataset->GetSpatialRef() : nullptr;
    if (!dem.dataset || dem.dataset->GetRasterCount() < 1 || dem.dataset->GetRasterXSize() < 2 ||
        dem.dataset->GetRasterYSize() < 2 || dem.dataset->GetGeoTransform(dem.gt.data()) != CE_None ||
        !GDALInvGeoTransform(dem.gt.data(), dem.inverseGt.data()) || crs == nullptr || crs->IsEmpty()) {
        const raster::ElevationSource reportsWhy(path);
        throw raster::RasterError(i18n::Format(i18n::Translate("survey", "无法读取高程栅格“%1”。"), {path}));
    }
    dem.crs = *crs;
    dem.crs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    dem.band = dem.dataset->GetRasterBand(1);
    return dem;
}

OGRSpatialReference Wgs84()
{
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);  // longitude first
    return wgs84;
}

TransformationPtr Transformation(const OGRSpatialReference& from, const OGRSpatialReference& to,
                                 const std::string& path)
{
    TransformationPtr ct(OGRCreateCoordinateTransformation(&from, &to));
    if (!ct)
        throw raster::RasterError(
            i18n::Format(i18n::Translate("survey",
                                         "无法读取高程栅格“%1”：无法在 WGS84 经纬度与该栅格的坐标系之间转换"),
                         {path}) +
            raster::GdalDetail());
    return ct;
}

void RequireUsableInput(const std::vector<geodesy::GeoRing>& areaRings, double intervalM)
{
    if (!std::isfinite(intervalM) || intervalM <= 0.0)
        throw SurveyInputError(i18n::Translate("survey", "等高距必须是大于零的数值。"));
    if (areaRings.empty())
        throw SurveyInputError(i18n::Translate("survey", "没有给出生成等高线的范围。"));
    for (const auto& ring : areaRings) {
        if (ring.size() < 3)
            throw SurveyInputError(i18n::Translate("survey", "范围的每个边界至少需要三个顶点。"));
        for (const geodesy::GeoPoint& p : ring)
            if (!std::isfinite(p.latDeg) || !std::isfinite(p.lonDeg) || std::abs(p.latDeg) > 90.0)
                throw SurveyInputError(
                    i18n::Translate("survey", "范围的顶点坐标无效（纬度须在 −90° 到 90° 之间）。"));
    }
}

// One ring as a polygon in the DEM's CRS, its edges cut into short pieces first.
OGRGeometryUniquePtr RingPolygon(const geodesy::GeoRing& ring, OGRCoordinateTransformation& toDem)
{
    std::vector<double> xs, ys;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const geodesy::GeoPoint& a = ring[i];
        const geodesy::GeoPoint& b = ring[(i + 1) % ring.size()];
        const double spanDeg = std::max(std::abs(b.latDeg - a.latDeg), std::abs(b.lonDeg - a.lonDeg));
        const int pieces = std::max(1, static_cast<int>(std::ceil(spanDeg / kMaxEdgeStepDeg)));
        for (int k = 0; k < pieces; ++k) {
            const double f = static_cast<double>(k) / pieces;
            xs.push_back(a.lonDeg + f * (b.lonDeg - a.lonDeg));
            ys.push_back(a.latDeg + f * (b.latDeg - a.latDeg));
        }
    }
    std::vector<int> transformed(xs.size());
    toDem.Transform(xs.size(), xs.data(), ys.data(), nullptr, transformed.data());
    auto linear = std::make_unique<OGRLinearRing>();
    for (std::size_t k = 0; k < xs.size(); ++k)
        if (transformed[k])
            linear->addPoint(xs[k], ys[k]);
    auto polygon = std::make_unique<OGRPolygon>();
    if (linear->getNumPoints() >= 3) {
        linear->closeRings();
        polygon->addRingDirectly(linear.release());
    }
    OGRGeometryUniquePtr geometry(polygon.release());
    if (!geometry->IsEmpty() && !geometry->IsValid())  // a ring that crosses itself
        geometry.reset(geometry->MakeValid());
    return geometry;
}

// The area in the DEM's CRS by the even–odd rule: the symmetric difference of its rings.
OGRGeometryUniquePtr AreaInDemCrs(const std::vector<geodesy::GeoRing>& rings,
                                  OGRCoordinateTransformation& toDem)
{
    OGRGeometryUniquePtr area = RingPolygon(rings.front(), toDem);
    for (std::size_t i = 1; i < rings.size() && area; ++i) {
        const OGRGeometryUniquePtr hole = RingPolygon(rings[i], toDem);
        if (hole && !hole->IsEmpty())
            area.reset(area->SymDifference(hole.get()));
    }
    if (!area || area->IsEmpty())
        throw SurveyInputError(i18n::Translate("survey", "范围无效：边界在高程数据的坐标系中围不成面。"));
    return area;
}

struct Window {
    int column = 0;
    int row = 0;
    int columns = 0;
    int rows = 0;

    long long Cells() const { return static_cast<long long>(columns) * rows; }
};

// Cells of the DEM around the area: every cell centre inside the area's bounding box and one
// more cell all round, within the raster. Throws when the area misses the raster.
Window WindowOf(const OGRGeometry& area, const Dem& dem)
{
    const int columns = dem.dataset->GetRasterXSize();
    const int rows = dem.dataset->GetRasterYSize();
    const std::array<double, 6>& gt = dem.gt;
    OGRLinearRing corners;
    const std::array<std::pair<int, int>, 5> cornerCells{
        {{0, 0}, {columns, 0}, {columns, rows}, {0, rows}, {0, 0}}};
    for (const auto& [pixel, line] : cornerCells)
        corners.addPoint(gt[0] + pixel * gt[1] + line * gt[2], gt[3] + pixel * gt[4] + line * gt[5]);
    OGRPolygon footprint;
    footprint.addRing(&corners);
    if (!area.Intersects(&footprint))
        throw SurveyInputError(OutsideMessage());

    const std::array<double, 6>& inv = dem.inverseGt;
    OGREnvelope box;
    area.getEnvelope(&box);
    double minP = HUGE_VAL, maxP = -HUGE_VAL, minL = HUGE_VAL, maxL = -HUGE_VAL;
    // The envelope's corners, in the DEM's CRS.
    for (const double x : {box.MinX, box.MaxX})
        for (const double y : {box.MinY, box.MaxY}) {
            const double pixel = inv[0] + inv[1] * x + inv[2] * y;
            const double line = inv[3] + inv[4] * x + inv[5] * y;
            minP = std::min(minP, pixel);
            maxP = std::max(maxP, pixel);
            minL = std::min(minL, line);
            maxL = std::max(maxL, line);
        }
    const auto clampTo = [](double value, int limit) {
        return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(limit)));
    };
    Window window;
    window.column = clampTo(std::floor(minP) - 1, columns);
    window.row = clampTo(std::floor(minL) - 1, rows);
    window.columns = clampTo(std::ceil(maxP) + 1, columns) - window.column;
    window.rows = clampTo(std::ceil(maxL) + 1, rows) - window.row;
    if (window.columns <= 0 || window.rows <= 0)
        throw SurveyInputError(OutsideMessage());
    return window;
}

struct ProgressSpan {
    TaskProgress* progress = nullptr;
    double from = 0.0;
    double to = 1.0;

    void Set(double fraction) const
    {
        if (progress)
            progress->Set(from + (to - from) * fraction);
    }
    bool Cancelled() const { return progress && progress->Cancelled(); }
};

int CPL_STDCALL ReportProgress(double complete, const char*, void* span)
{
    const auto* s = static_cast<const ProgressSpan*>(span);
    s->Set(complete);
    return s->Cancelled() ? FALSE : TRUE;
}

// A GDAL step that failed: cancelled by the user, or GDAL's own failure.
[[noreturn]] void FailStep(const ProgressSpan& span, const std::string& path, const std::string& what)
{
    if (span.Cancelled())
        throw TaskCancelled();
    throw raster::RasterError(
        i18n::Format(i18n::Translate("survey", "无法读取高程栅格“%1”：%2"), {path, what}) +
        raster::GdalDetail());
}

// Heights (metres, scale and offset applied) of the window's cells, row by row; voids
// (no-data, NaN, masked) are kVoid. Kept as 32-bit floats: exact for Int16 and Float32 DEMs,
// within 0.25 mm below 8 km otherwise, and half the memory of doubles.
std::vector<float> ReadWindow(const Dem& dem, const Window& w, const ProgressSpan& span,
                              const std::string& path)
{
    std::vector<float> heights(static_cast<std::size_t>(w.Cells()));
    GDALRasterIOExtraArg extra;
    INIT_RASTERIO_EXTRA_ARG(extra);
    extra.pfnProgress = ReportProgress;
    extra.pProgressData = const_cast<ProgressSpan*>(&span);
    if (dem.band->RasterIO(GF_Read, w.column, w.row, w.columns, w.rows, heights.data(), w.columns, w.rows,
                           GDT_Float32, 0, 0, &extra) != CE_None)
        FailStep(span, path, i18n::Translate("survey", "读取高程数据失败"));

    int flag = FALSE;
    const double noData = dem.band->GetNoDataValue(&flag);
    const bool hasNoData = flag != FALSE && !std::isnan(noData);
    const float noDataAsRead = static_cast<float>(noData);  // as RasterIO converted it
    double scale = dem.band->GetScale(&flag);
    if (!flag || scale == 0.0)
        scale = 1.0;
    double offset = dem.band->GetOffset(&flag);
    if (!flag)
        offset = 0.0;
    // Masks beyond the no-data value: a folder mosaic's alpha band, internal masks, .msk files.
    GDALRasterBand* mask =
        (dem.band->GetMaskFlags() & (GMF_ALL_VALID | GMF_NODATA)) ? nullptr : dem.band->GetMaskBand();
    constexpr int kMaskRows = 256;
    std::vector<GByte> maskRows(mask ? static_cast<std::size_t>(w.columns) * kMaskRows : 0);
    for (int top = 0; top < w.rows; top += kMaskRows) {
        const int count = std::min(kMaskRows, w.rows - top);
        if (mask && mask->RasterIO(GF_Read, w.column, w.row + top, w.columns, count, maskRows.data(),
                                   w.columns, count, GDT_Byte, 0, 0, nullptr) != CE_None)
            FailStep(span, path, i18n::Translate("survey", "读取高程数据的掩膜失败"));
        float* row = heights.data() + static_cast<std::size_t>(top) * w.columns;
        for (std::size_t k = 0; k < static_cast<std::size_t>(count) * w.columns; ++k) {
            const float raw = row[k];
            const bool isVoid =
                std::isnan(raw) || (hasNoData && raw == noDataAsRead) || (mask && maskRows[k] == 0);
            row[k] = isVoid ? kVoid : static_cast<float>(raw * scale + offset);
        }
    }
    return heights;
}

// About the number of vertices GDAL will make: one where a level falls between the heights
// of two neighbouring cell centres, for each level so crossed. Stops counting past `limit`.
// Throws when the window holds no height at all.
double CountCrossings(const std::vector<float>& heights, const Window& w, double baseM, double intervalM,
                      double limit)
{
    std::vector<double> above(static_cast<std::size_t>(w.columns));
    double crossings = 0.0;
    bool anyValid = false;
    for (int r = 0; r < w.rows && crossings <= limit; ++r) {
        const float* row = heights.data() + static_cast<std::size_t>(r) * w.columns;
        double left = 0.0;
        for (int c = 0; c < w.columns; ++c) {
            const bool valid = row[c] != kVoid;
            const double band = valid ? std::floor((row[c] - baseM) / intervalM) : NAN;
            anyValid = anyValid || valid;
            if (c > 0 && valid && !std::isnan(left))
                crossings += std::abs(band - left);
            if (r > 0 && valid && !std::isnan(above[c]))
                crossings += std::abs(band - above[c]);
            above[c] = band;
            left = band;
        }
    }
    if (!anyValid)
        throw SurveyInputError(
            i18n::Translate("survey", "所选范围内没有高程数据（高程栅格在此处全为空值）。"));
    return crossings;
}

// A MEM raster over `heights` (not copied), placed where the window lies.
DatasetPtr WindowRaster(std::vector<float>& heights, const Dem& dem, const Window& w)
{
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    DatasetPtr raster(mem->Create("", w.columns, w.rows, 0, GDT_Float32, nullptr));
    const std::array<double, 6>& gt = dem.gt;
    std::array<double, 6> windowGt = {gt[0] + w.column * gt[1] + w.row * gt[2], gt[1], gt[2],
                                      gt[3] + w.column * gt[4] + w.row * gt[5], gt[4], gt[5]};
    raster->SetGeoTransform(windowGt.data());
    char pointer[32];
    std::snprintf(pointer, sizeof pointer, "%p", static_cast<void*>(heights.data()));
    CPLStringList options;
    options.SetNameValue("DATAPOINTER", pointer);
    raster->AddBand(GDT_Float32, options.List());
    raster->GetRasterBand(1)->SetNoDataValue(kVoid);
    return raster;
}

std::string Number(double value)
{
    return CPLSPrintf("%.17g", value);
}

// GDAL's contours of the window's raster as the one layer of an in-memory store, each line a
// feature with its level (the DEM's heights) in field 0.
DatasetPtr ContourLines(GDALDataset& raster, OGRSpatialReference& crs, double intervalM, double baseM,
                        const ProgressSpan& span, const std::string& path)
{
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
    DatasetPtr store(memory->Create("", 0, 0, 0, GDT_Unknown, nullptr));
    OGRLayer* layer = store->CreateLayer("contours", &crs, wkbLineString, nullptr);
    OGRFieldDefn levelField("level", OFTReal);
    layer->CreateField(&levelField);
    CPLStringList options;
    options.SetNameValue("LEVEL_INTERVAL", Number(intervalM).c_str());
    options.SetNameValue("LEVEL_BASE", Number(baseM).c_str());
    options.SetNameValue("NODATA", Number(kVoid).c_str());
    options.SetNameValue("ELEV_FIELD", "0");
    if (GDALContourGenerateEx(GDALRasterBand::ToHandle(raster.GetRasterBand(1)), OGRLayer::ToHandle(layer),
                              options.List(), ReportProgress, const_cast<ProgressSpan*>(&span)) != CE_None)
        FailStep(span, path, i18n::Translate("survey", "生成等高线失败"));
    return store;
}

// A contour part in the DEM's CRS with its level.
struct Part {
    double levelM = 0.0;
    std::size_t first = 0;  // index of its first vertex in the shared coordinate arrays
    std::size_t count = 0;
};

struct Parts {
    std::vector<Part> parts;
    std::vector<double> xs, ys;

    void Add(double levelM, const OGRLineString& line)
    {
        if (line.getNumPoints() < 2)
            return;
        parts.push_back({levelM, xs.size(), static_cast<std::size_t>(line.getNumPoints())});
        for (int i = 0; i < line.getNumPoints(); ++i) {
            xs.push_back(line.getX(i));
            ys.push_back(line.getY(i));
        }
    }

    // The line parts of a clipped geometry (points where a line only touches the area are left).
    void AddLines(double levelM, const OGRGeometry& geometry)
    {
        const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
        if (type == wkbLineString) {
            Add(levelM, *geometry.toLineString());
        } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
            for (const OGRGeometry* member : *geometry.toGeometryCollection())
                AddLines(levelM, *member);
        }
    }
};

// The lines of the contour layer inside the area.
Parts ClipToArea(OGRLayer& layer, const OGRGeometry& area, const ProgressSpan& span)
{
    const OGRPreparedGeometryUniquePtr prepared(
        OGRCreatePreparedGeometry(OGRGeometry::ToHandle(const_cast<OGRGeometry*>(&area))));
    Parts parts;
    const double featureCount = std::max<GIntBig>(1, layer.GetFeatureCount());
    long long done = 0;
    for (const auto& feature : layer) {
        if (++done % kLinesPerProgressStep == 0) {
            if (span.Cancelled())
                throw TaskCancelled();
            span.Set(done / featureCount);
        }
        const OGRGeometry* line = feature->GetGeometryRef();
        if (line == nullptr)
            continue;
        const double levelM = feature->GetFieldAsDouble(0);
        OGRGeometryH handle = OGRGeometry::ToHandle(const_cast<OGRGeometry*>(line));
        if (OGRPreparedGeometryContains(prepared.get(), handle)) {
            parts.AddLines(levelM, *line);
        } else if (OGRPreparedGeometryIntersects(prepared.get(), handle)) {
            const OGRGeometryUniquePtr inside(line->Intersection(&area));
            if (inside)
                parts.AddLines(levelM, *inside);
        }
    }
    return parts;
}

// The parts on the survey grid. A vertex that cannot be carried to WGS84 ends its line there.
std::vector<ContourLine> OnSurveyGrid(Parts& parts, const Dem& dem, double intervalM,
                                      const SurveyFrame& frame, const std::string& path)
{
    std::vector<int> transformed(parts.xs.size());
    const TransformationPtr toWgs84 = Transformation(dem.crs, Wgs84(), path);
    {
        const raster::QuietGdalErrors quiet;
        toWgs84->Transform(parts.xs.size(), parts.xs.data(), parts.ys.data(), nullptr, transformed.data());
    }
    std::vector<ContourLine> lines;
    for (const Part& part : parts.parts) {
        // GDAL's levels are LEVEL_BASE + k·interval = k·interval − dH: H′ is k·interval, taken
        // as such so that its text has no residue of the sum.
        const double k = std::round(frame.GridHeightM(part.levelM) / intervalM);
        ContourLine line{k * intervalM, std::fmod(k, 5.0) == 0.0, {}};
        for (std::size_t i = part.first; i < part.first + part.count; ++i) {
            if (!transformed[i]) {
                if (line.xy.size() >= 4)
                    lines.push_back(line);
                line.xy.clear();
                continue;
            }
            // The line lies at its level's DEM height, which the datum shift takes.
            const geodesy::GridPoint grid =
                frame.ToGrid({.latDeg = parts.ys[i], .lonDeg = parts.xs[i]}, part.levelM);
            line.xy.push_back(DrawingX(grid));
            line.xy.push_back(DrawingY(grid));
        }
        if (line.xy.size() >= 4)
            lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::vector<ContourLine> GenerateContours(const std::string& demPath,
                                          const std::vector<geodesy::GeoRing>& areaRings, double intervalM,
                                          const SurveyFrame& frame, TaskProgress* progress)
{
    RequireUsableInput(areaRings, intervalM);
    raster::EnsureGdalRegistered();
    const raster::QuietGdalErrors quiet;
    Dem dem = OpenDem(demPath);
    const OGRGeometryUniquePtr area = [&] {
        const TransformationPtr toDem = Transformation(Wgs84(), dem.crs, demPath);
        const raster::QuietGdalErrors quietPoints;  // vertices off the projection's domain only fail
        return AreaInDemCrs(areaRings, *toDem);
    }();
    const Window window = WindowOf(*area, dem);
    if (window.Cells() > kMaxContourWindowCells)
        throw SurveyInputError(
            i18n::Format(i18n::Translate("survey", "所选范围太大：约 %1 亿个高程格网，一次最多 %2 亿个。"
                                                   "请选择较小的范围，分几次生成。"),
                         {std::string(CPLSPrintf("%.1f", window.Cells() / 1e8)),
                          std::string(CPLSPrintf("%.0f", kMaxContourWindowCells / 1e8))}));

    std::vector<float> heights = ReadWindow(dem, window, {progress, 0.0, kReadShare}, demPath);
    const double baseM =
        -frame.Transform().dHM;  // levels where H′ = level + dH is a multiple of the interval
    if (CountCrossings(heights, window, baseM, intervalM, static_cast<double>(kMaxPlannedPoints)) >
        static_cast<double>(kMaxPlannedPoints))
        throw SurveyInputError(i18n::Format(
            i18n::Translate("survey", "等高线过密：顶点将超过 %1 万个。请加大等高距或缩小范围。"),
            {std::to_string(kMaxPlannedPoints / 10'000)}));

    const DatasetPtr raster = WindowRaster(heights, dem, window);
    const DatasetPtr store = ContourLines(*raster, dem.crs, intervalM, baseM,
                                          {progress, kReadShare, kReadShare + kContourShare}, demPath);
    Parts parts = ClipToArea(*store->GetLayer(0), *area, {progress, kReadShare + kContourShare, 0.98});
    std::vector<ContourLine> lines = OnSurveyGrid(parts, dem, intervalM, frame, demPath);
    if (progress)
        progress->Set(1.0);
    return lines;
}

}  // namespace keldarn::survey
