#include "cli/sample_command.h"

#include "cli/command_line.h"
#include "cli/grid_point_file.h"
#include "cli/kml_read_limits.h"
#include "cli/part_manifest.h"
#include "cli/point_output.h"
#include "cli/progress.h"
#include "cli/survey_frame.h"
#include "fileio/atomic_file.h"
#include "fileio/line_reader.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "i18n/interface_text.h"
#include "kml/kml_error.h"
#include "kml/kml_file.h"
#include "points/bad_lines.h"
#include "points/point_file_writer.h"
#include "raster/elevation_source.h"
#include "survey/sample_plan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <future>
#include <iostream>
#include <sstream>
#include <thread>

namespace keldarn::cli {

using survey::PlannedPoint;
using survey::SamplePlan;

namespace {

// The page of --help, in the interface language.
std::string SampleHelp()
{
    return i18n::Translate("cli",
                           R"(用法：keldarn-cli sample --terrain 地形 --meridian 中央子午线 --spacing 间距
                         (--bbox 南,西,北,东 | --boundary 边界文件 | --kml 多边形) --output 文件 [选项]

在测区内按测量坐标的整数倍格网（X、Y 都是间距的整数倍，已经过四参数转换）采集高程，
逐行（由北向南，每行由西向东）写入文件。高程取自地形数据的原始分辨率，与程序中取点相同。

  --terrain 地形        DEM 文件、分幅文件夹、.zip、VRT 或 http(s) 网址；缺省取 --settings 中的
  --settings 文件       Keldarn.ini：四参数 [GEzbzh] 与地形 [Terrain]，选项优先
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                        四参数与高程改正，覆盖 --settings 中的值
  --spacing 米          格网间距（必填，> 0）
  --bbox 南,西,北,东    以纬度、经度（度）给出的测区
  --boundary 文件       以测量坐标给出的测区边界：每行 "X,Y"（或以空格、制表符分隔）
  --kml 文件            以 KML/KMZ 中的多边形（闭合的坐标串）给出的测区；内环为洞
  --output 文件         输出文件；扩展名 .csv 写 CSV（UTF-8），否则写导出格式（GB18030，CR LF）
  --format dat|csv      输出格式，覆盖扩展名的判断
  --fields 0,1,3,2,4    导出字段及顺序：0点名 1描述 2X坐标 3Y坐标 4高程H（缺省同程序的导出）
  --separator ,         导出分隔符（一个字符或空，缺省逗号）
  --part i/n            只做 n 份中的第 i 份（1..n，按格网行分成连续的带）；用 merge 合并。
                        输出文件写好后，在其旁写出分份说明“输出文件.part”（第几份、哪次运行、
                        行数、字节数和校验和），merge 凭它核对各份
  --threads n           使用的线程数（缺省为 CPU 核数）
  --force               允许超过 10 亿个候选点的测区
  --quiet               不显示进度
  --help                显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
)");
}

// The page of --help, in the interface language.
std::string MergeHelp()
{
    return i18n::Translate(
        "cli",
        R"(用法：keldarn-cli merge --output 文件 [--format dat|csv] [--fields ...] [--separator ...] 第1份 第2份 ... 第n份

把 sample --part i/n 的各份结果按顺序合并为一次运行所写的文件（点名重新连续编号）。
格式选项必须与生成各份时相同。每一份旁须有 sample 写出的分份说明（文件名加 .part）。
合并前逐一核对，有下列情况时不合并，说明是哪个文件、什么原因，退出状态为 1：
  - 缺少分份说明，或文件的字节数、校验和与说明不符（不完整或在 sample 之后被改动过）；
  - 各份不是同一次运行的（地形、测区、间距、中央子午线、四参数、格式或份数不同）；
  - 缺少某一份，或某一份给出了两次；
  - 各份不是按第 1 份到第 n 份的顺序给出（shell 的 part*.dat 会把 part10 排在 part2 之前）；
  - 某一行不能按这一格式读出（给出行号）。

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
)");
}

// Beyond this many candidate points a run needs --force.
constexpr std::int64_t kMaxCandidatesWithoutForce = 1'000'000'000;
// About this many candidate points go to one task of a worker.
constexpr std::int64_t kCandidatesPerTask = 32768;

const std::vector<OptionRule> kSampleOptions = {
    {"terrain"},      {"settings"},     {"meridian"},   {"dx"},        {"dy"},       {"rot"},
    {"scale"},        {"dh"},           {"spacing"},    {"bbox"},      {"boundary"}, {"kml"},
    {"output"},       {"format"},       {"fields"},     {"separator"}, {"part"},     {"threads"},
    {"force", false}, {"quiet", false}, {"help", false}};

const std::vector<OptionRule> kMergeOptions = {{"output"},    {"format"},       {"fields"},
                                               {"separator"}, {"quiet", false}, {"help", false}};

// The survey grid points of a boundary file, a line "X,Y" each.
std::vector<geodesy::PlanePoint> ReadBoundary(const std::string& path)
{
    std::vector<geodesy::PlanePoint> points = ReadGridPoints(path);
    if (points.size() < 3)
        throw InputError(i18n::Format(i18n::Translate("cli", "%1：边界至少要有 3 个点"), {path}));
    return points;
}

// The closed rings (first vertex repeated at the end, at least three others) of a KML or
// KMZ file with its linked layers, without the repeated vertex: polygons' outer and inner
// boundaries.
std::vector<geodesy::GeoRing> ReadKmlRings(const std::string& path, const kml::KmlReadLimits& limits)
{
    class Rings : public kml::KmlGeometrySink {
    public:
        void OnCoordinates(std::vector<double>& lonLat, const std::string&) override
        {
            const std::size_t n = lonLat.size() / 2;
            if (n < 4 || lonLat[0] != lonLat[2 * n - 2] || lonLat[1] != lonLat[2 * n - 1])
                return;  // points and open lines bound nothing
            auto& ring = rings.emplace_back();
            for (std::size_t k = 0; k + 1 < n; ++k)
                ring.push_back({.latDeg = lonLat[2 * k + 1], .lonDeg = lonLat[2 * k]});
        }
        std::vector<geodesy::GeoRing> rings;
    } sink;
    if (!std::filesystem::exists(path))  // a read that fails: status 2
        throw RunError(i18n::Format(i18n::Translate("cli", "找不到输入文件 %1"), {path}));
    try {
        kml::ScanKmlFile(path, sink, {}, limits);
    } catch (const kml::KmlError& error) {
        throw InputError(error.what());
    }
    if (sink.rings.empty())
        throw InputError(
            i18n::Format(i18n::Translate("cli", "%1 中没有多边形（闭合的坐标串），无法作为测区"), {path}));
    return std::move(sink.rings);
}

// "i/n" with 1 <= i <= n, as 0-based part and count.
// The result of `future`, telling the progress a few times a second how far the run is
// while it waits, so that a read waiting on a stalled server shows as waiting.
template <typename T> T AwaitWithProgress(std::future<T>& future, Progress& progress, std::int64_t done)
{
    while (future.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready)
        progress.Tick(done);
    return future.get();
}

std::pair<int, int> PartFromOption(const std::optional<std::string>& text)
{
    if (!text)
        return {0, 1};
    int i = 0, n = 0;
    char slash = 0;
    std::istringstream in(*text);
    if (!(in >> i >> slash >> n) || slash != '/' || !in.eof() || n < 1 || i < 1 || i > n)
        throw UsageError(
            i18n::Format(i18n::Translate("cli", "--part 的值应为 i/n（1 ≤ i ≤ n），不是“%1”"), {*text}));
    return {i - 1, n};
}

// Appends numbers to the text that identifies a run, each in the shortest form that reads back
// to the same double, so equal values give equal texts.
void AppendNumbers(std::string& identity, std::initializer_list<double> values)
{
    for (const double value : values) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        identity.append(text, end);
        identity += ' ';
    }
    identity += '\n';
}

// The survey frame in the run's identity: meridian, four parameters, national system.
void AppendFrame(std::string& identity, const SurveyFrame& frame)
{
    const auto& k = frame.Transform();
    const auto& p = frame.Choice();
    AppendNumbers(identity, {frame.CentralMeridianDeg(), k.c, k.s, k.dxM, k.dyM, k.dHM,
                             static_cast<double>(p.ellipsoid), static_cast<double>(p.zoneWidth),
                             static_cast<double>(p.zoneNumber)});
    if (const auto& d = p.datum)
        AppendNumbers(identity, {d->dxM, d->dyM, d->dzM, d->rxArcSec, d->ryArcSec, d->rzArcSec, d->scalePpm,
                                 static_cast<double>(d->convention)});
}

// One task's rows, sampled: lines with kNameMark for the name, and counts.
struct TaskResult {
    std::string lines;
    std::int64_t points = 0;
    std::int64_t voids = 0;
};

TaskResult SampleRows(const SamplePlan& plan, std::int64_t beginRow, std::int64_t endRow,
                      const SurveyFrame& frame, const PointFormat& format, raster::ElevationSource& source)
{
    TaskResult result;
    std::vector<PlannedPoint> row;
    std::vector<std::optional<double>> heights;
    const survey::HeightQuery query = survey::HeightsOf(source);
    std::array<std::string, points::kColumnCount> cells;
    for (std::int64_t r = beginRow; r < endRow; ++r) {
        row.clear();
        plan.RowPoints(r, row);
        plan.QueryHeights(row, query, heights);
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (!heights[k]) {
                ++result.voids;
                continue;
            }
            const double h = frame.GridHeightM(*heights[k]);
            cells[0] = std::string(1, kNameMark);
            cells[2] = geodesy::FormatGridCoordinate(row[k].x);
            cells[3] = geodesy::FormatGridCoordinate(row[k].y);
            cells[4] = geodesy::FormatGridCoordinate(h);
            for (std::size_t c = 0; c < format.layout.columns.size(); ++c) {
                if (c > 0)
                    result.lines += format.layout.separator;
                result.lines += cells[static_cast<std::size_t>(format.layout.columns[c])];
            }
            result.lines += format.lineEnd;
            ++result.points;
        }
    }
    return result;
}

int Sample(const ParsedOptions& options)
{
    const TerrainOption terrainOption = TerrainFromOptions(options);
    const std::string& terrain = terrainOption.path;
    const std::size_t cacheBytes = terrainOption.cacheBytes;
    const SurveyFrame frame = SurveyFrameFromOptions(options);
    const auto spacing = options.Number("spacing");
    if (!spacing || !(*spacing > 0.0))
        throw UsageError(i18n::Translate("cli", "缺少 --spacing，或间距不大于 0"));
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出文件）"));
    const PointFormat format = FormatFromOptions(options, *output);
    if (options.Has("bbox") + options.Has("boundary") + options.Has("kml") != 1)
        throw UsageError(i18n::Translate("cli", "测区要用 --bbox、--boundary 或 --kml 三者之一给出"));
    // Everything that decides the rows and their bytes; the shares of one run share it. The
    // area enters as its values, so the same area read from two copies of a file is one run.
    PartManifest manifest;
    RecordFormat(format, manifest);
    std::string identity =
        terrain + "\n" + manifest.format + " " + manifest.fields + " " + manifest.separator + "\n";
    AppendFrame(identity, frame);
    AppendNumbers(identity, {*spacing});
    std::optional<SamplePlan> plan;
    // The area's box, where it is given in degrees.
    std::optional<geodesy::GeoBox> areaBox;
    if (const auto bbox = options.Value("bbox")) {
        areaBox = ReadBox(*bbox);
        AppendNumbers(identity, {areaBox->southDeg, areaBox->westDeg, areaBox->northDeg, areaBox->eastDeg});
        plan = SamplePlan::ForGeoBox(*areaBox, *spacing, frame);
    } else if (const auto kml = options.Value("kml")) {
        auto rings = ReadKmlRings(*kml, KmlReadLimitsFromOptions(options));
        areaBox = geodesy::GeoBox{
            .southDeg = HUGE_VAL, .westDeg = HUGE_VAL, .northDeg = -HUGE_VAL, .eastDeg = -HUGE_VAL};
        for (const auto& ring : rings) {
            identity += "ring\n";
            for (const geodesy::GeoPoint& vertex : ring) {
                AppendNumbers(identity, {vertex.lonDeg, vertex.latDeg});  // longitude first, as KML writes it
                areaBox->southDeg = std::min(areaBox->southDeg, vertex.latDeg);
                areaBox->westDeg = std::min(areaBox->westDeg, vertex.lonDeg);
                areaBox->northDeg = std::max(areaBox->northDeg, vertex.latDeg);
                areaBox->eastDeg = std::max(areaBox->eastDeg, vertex.lonDeg);
            }
        }
        plan = SamplePlan::ForGeoRings(std::move(rings), *spacing, frame);
    } else {
        auto boundary = ReadBoundary(*options.Value("boundary"));
        identity += "boundary\n";
        for (const geodesy::PlanePoint& p : boundary)
            AppendNumbers(identity, {p.x, p.y});
        plan = SamplePlan::ForBoundary(std::move(boundary), *spacing, frame);
    }
    if (plan->CandidateCount() > kMaxCandidatesWithoutForce && !options.Has("force"))
        throw UsageError(
            i18n::Format(i18n::Translate("cli", "测区内约有 %1 个格网点，超过 10 亿；"
                                                "确需如此请加 --force，或加大间距、用 --part 分份"),
                         {std::to_string(plan->CandidateCount())}));
    const auto [part, parts] = PartFromOption(options.Value("part"));
    const auto [beginRow, endRow] = plan->PartRows(part, parts);

    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (const auto count = options.Number("threads"))
        threads = std::clamp(static_cast<int>(*count), 1, 64);
    Progress progress(i18n::Translate("cli", "采样"), (endRow - beginRow) * plan->ColumnCount(),
                      Progress::ModeFor(options.Has("quiet")));
    // Every worker reads through a source of its own (GDAL datasets are not shared). Opening
    // one on a server may wait long for the server; the progress says so meanwhile.
    std::vector<std::unique_ptr<raster::ElevationSource>> sources;
    try {
        auto opening = std::async(std::launch::async, [&terrain, cacheBytes, threads] {
            std::vector<std::unique_ptr<raster::ElevationSource>> opened;
            for (int k = 0; k < threads; ++k)
                opened.push_back(std::make_unique<raster::ElevationSource>(terrain, cacheBytes / threads));
            return opened;
        });
        sources = AwaitWithProgress(opening, progress, 0);
    } catch (const std::exception& failure) {
        throw RunError(failure.what());
    }

    points::PointFileWriter writer(*output, format.Encoding(), options.Has("part"));
    if (format.csv)
        writer.Write(CsvTitle(format));
    const std::int64_t rowsPerTask =
        std::max<std::int64_t>(1, kCandidatesPerTask / std::max<std::int64_t>(1, plan->ColumnCount()));
    std::int64_t written = 0, voids = 0, nextName = 1;
    std::string numbered;
    for (std::int64_t waveRow = beginRow; waveRow < endRow; waveRow += rowsPerTask * threads) {
        std::vector<std::future<TaskResult>> tasks;
        for (int k = 0; k < threads; ++k) {
            const std::int64_t first = waveRow + k * rowsPerTask;
            const std::int64_t last = std::min(endRow, first + rowsPerTask);
            if (first >= last)
                break;
            tasks.push_back(std::async(std::launch::async, SampleRows, std::cref(*plan), first, last,
                                       std::cref(frame), std::cref(format),
                                       std::ref(*sources[static_cast<std::size_t>(k)])));
        }
        // In task order, so the file is the same whatever the number of threads.
        const std::int64_t doneBefore = (waveRow - beginRow) * plan->ColumnCount();
        for (auto& task : tasks) {
            TaskResult result;
            try {
                result = AwaitWithProgress(task, progress, doneBefore);
            } catch (const std::exception& failure) {
                throw RunError(
                    i18n::Format(i18n::Translate("cli", "%1\n已停止，输出文件未改动。"), {failure.what()}));
            }
            numbered.clear();
            std::size_t start = 0;
            for (std::size_t mark = result.lines.find(kNameMark); mark != std::string::npos;
                 mark = result.lines.find(kNameMark, start)) {
                numbered.append(result.lines, start, mark - start);
                numbered += std::to_string(nextName++);
                start = mark + 1;
            }
            numbered.append(result.lines, start, std::string::npos);
            writer.Write(numbered);
            written += result.points;
            voids += result.voids;
        }
        progress.Tick(std::min(endRow, waveRow + rowsPerTask * threads) * plan->ColumnCount() -
                      beginRow * plan->ColumnCount());
    }
    progress.Finish((endRow - beginRow) * plan->ColumnCount());
    // One share of several may hold no point (a band outside a polygon): it is written empty,
    // so that merge finds every share. A whole run without points is an error; an area off
    // the terrain is told so, with the terrain's extent.
    if (written == 0 && parts == 1 && areaBox)
        if (const auto extent = sources.front()->Wgs84Extent();
            extent && (areaBox->southDeg > extent->northDeg || areaBox->northDeg < extent->southDeg ||
                       areaBox->westDeg > extent->eastDeg || areaBox->eastDeg < extent->westDeg)) {
            const auto degrees = [](double value) {
                char text[32];
                std::snprintf(text, sizeof text, "%.4f", value);
                return std::string(text);
            };
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "测区在地形数据范围之外，没有写出文件。"
                                                    "地形数据范围：纬度 %1 至 %2，经度 %3 至 %4"),
                             {degrees(extent->southDeg), degrees(extent->northDeg), degrees(extent->westDeg),
                              degrees(extent->eastDeg)}));
        }
    if (written == 0 && parts == 1)
        throw UsageError(
            voids > 0
                ? i18n::Format(i18n::Translate("cli", "测区内的 %1 个格网点都没有高程（在地形数据范围之外"
                                                      "或是数据空洞），没有写出文件"),
                               {std::to_string(voids)})
                : i18n::Translate("cli", "测区内没有格网点（测区太小或间距太大），没有写出文件"));
    writer.Commit();
    // The share's side file, once the share is in place: merge finds and checks it by it.
    if (options.Has("part")) {
        Fnv1a64 run;
        run.Add(identity);
        manifest.run = Hex64(run.value());
        manifest.index = part + 1;
        manifest.count = parts;
        manifest.rows = written;
        manifest.bytes = writer.bytes();
        manifest.checksum = writer.checksum();
        try {
            fileio::WriteFileAtomically(ManifestPath(*output), ManifestText(manifest));
        } catch (const std::exception& failure) {
            throw RunError(failure.what());
        }
    }
    if (!options.Has("quiet"))
        PrintLine(voids > 0 ? i18n::Format(i18n::Translate("cli", "已写出 %1 个点到 %2；%3 个格网点没有高程"
                                                                  "（数据范围之外或数据空洞），未写出"),
                                           {std::to_string(written), *output, std::to_string(voids)})
                            : i18n::Format(i18n::Translate("cli", "已写出 %1 个点到 %2"),
                                           {std::to_string(written), *output}));
    return kExitOk;
}

// A share named on merge's command line, with its side file.
struct Share {
    std::string path;
    PartManifest manifest;
};

// Reads the shares' side files and refuses, before anything is written, shares that do not
// make one run's file in `format`: a share without its side file or of another size than
// recorded, shares of different runs or of another format, a share given twice, a missing
// share, shares out of order. Throws InputError naming the file and the reason.
std::vector<Share> CheckedShares(const std::vector<std::string>& paths, const PointFormat& format)
{
    std::vector<Share> shares;
    for (const std::string& path : paths) {
        // Neither the share nor its side file: a read that fails (status 2). A share without
        // its side file, or a side file without its share, is told by what follows.
        if (!std::filesystem::exists(path) && !std::filesystem::exists(ManifestPath(path)))
            throw RunError(i18n::Format(i18n::Translate("cli", "找不到输入文件 %1"), {path}));
        Share& share = shares.emplace_back(Share{path, ReadManifest(path)});
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error)
            throw RunError(i18n::Format(i18n::Translate("cli", "无法读取文件 %1"), {path}));
        if (size != share.manifest.bytes)
            throw InputError(i18n::Format(
                i18n::Translate(
                    "cli", "%1 有 %2 字节，而分份说明记载 %3 字节：这一份不完整或在 sample 之后被改动过"),
                {path, std::to_string(size), std::to_string(share.manifest.bytes)}));
    }
    const Share& first = shares.front();
    PartManifest wanted;
    RecordFormat(format, wanted);
    for (const Share& share : shares) {
        const PartManifest& m = share.manifest;
        if (m.run != first.manifest.run || m.count != first.manifest.count)
            throw InputError(i18n::Format(
                i18n::Translate("cli", "%1 与 %2 不是同一次运行的分份（sample 的选项或份数不同），不能合并"),
                {share.path, first.path}));
        if (m.format != wanted.format || m.fields != wanted.fields || m.separator != wanted.separator)
            throw InputError(i18n::Format(
                i18n::Translate("cli",
                                "%1 的格式是 --format %2 --fields %3（分隔符 %4），而合并所用的是 "
                                "--format %5 --fields %6（分隔符 %7）；请给出与 sample 相同的格式选项"),
                {share.path, m.format, m.fields, m.separator, wanted.format, wanted.fields,
                 wanted.separator}));
    }
    const int count = first.manifest.count;
    std::vector<const Share*> byIndex(static_cast<std::size_t>(count) + 1, nullptr);
    for (const Share& share : shares) {
        const Share*& place = byIndex[static_cast<std::size_t>(share.manifest.index)];
        if (place)
            throw InputError(i18n::Format(i18n::Translate("cli", "%1 与 %2 都是第 %3 份，一份只能给出一次"),
                                          {place->path, share.path, std::to_string(share.manifest.index)}));
        place = &share;
    }
    for (int index = 1; index <= count; ++index)
        if (!byIndex[static_cast<std::size_t>(index)])
            throw InputError(i18n::Format(i18n::Translate("cli", "%1 所属的运行共 %2 份，缺少第 %3 份"),
                                          {first.path, std::to_string(count), std::to_string(index)}));
    for (std::size_t k = 0; k < shares.size(); ++k) {
        if (shares[k].manifest.index == static_cast<int>(k) + 1)
            continue;
        std::string inOrder;
        for (int index = 1; index <= count; ++index)
            inOrder += (index > 1 ? " " : "") + byIndex[static_cast<std::size_t>(index)]->path;
        throw InputError(i18n::Format(
            i18n::Translate("cli", "%1 是第 %2 份，却给在第 %3 个位置；请按顺序给出各份：%4"),
            {shares[k].path, std::to_string(shares[k].manifest.index), std::to_string(k + 1), inOrder}));
    }
    return shares;
}

// A share's lines with their line ends, every byte added to the checksum.
class ShareReader {
public:
    explicit ShareReader(const std::string& path) : lines_(path) {}

    bool Next(std::string& line)
    {
        std::string_view text;
        if (!lines_.Next(text))
            return false;
        line.assign(text);
        line += lines_.End();
        checksum_.Add(line);
        return true;
    }

    std::uint64_t checksum() const { return checksum_.value(); }

private:
    fileio::LineReader lines_;
    Fnv1a64 checksum_;
};

// The characters sample writes into a field: digits, '.', '-'. A separator among them cannot
// tell the fields apart.
bool SeparatesFields(const std::string& separator)
{
    return !separator.empty() && separator.find_first_of("0123456789.-") == std::string::npos;
}

// Why `line` (its line end taken off) is no point line of `format`; empty when it is one.
std::string RowProblem(std::string_view line, const PointFormat& format)
{
    const std::string& separator = format.layout.separator;
    if (!SeparatesFields(separator)) {
        if (line.empty() || line.find_first_not_of("0123456789.-" + separator) != std::string::npos)
            return i18n::Translate("cli", "含有数字、“.”、“-”和分隔符以外的字符");
        return {};
    }
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + separator.size();
    }
    const auto& columns = format.layout.columns;
    if (fields.size() != columns.size())
        return i18n::Format(i18n::Translate("cli", "有 %1 个字段，应有 %2 个"),
                            {std::to_string(fields.size()), std::to_string(columns.size())});
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const std::string_view field = fields[k];
        const std::string place = std::to_string(k + 1);
        if (columns[k] == 0) {
            if (field.empty() || field[0] == '0' ||
                field.find_first_not_of("0123456789") != std::string::npos)
                return i18n::Format(i18n::Translate("cli", "第 %1 个字段（点名）应为正整数"), {place});
        } else if (columns[k] == 1) {
            if (!field.empty())
                return i18n::Format(i18n::Translate("cli", "第 %1 个字段（描述）应为空"), {place});
        } else {
            try {
                geodesy::ParseNumber(field);
            } catch (const std::exception&) {
                return i18n::Format(i18n::Translate("cli", "第 %1 个字段应为数"), {place});
            }
        }
    }
    return {};
}

// `line` with the name field (the `nameField`-th) replaced by `name`; `line` has been read
// as a point line of a format whose separator separates fields.
std::string Renamed(const std::string& line, const std::string& separator, std::size_t nameField,
                    std::int64_t name)
{
    std::size_t start = 0;
    for (std::size_t field = 0; field < nameField; ++field)
        start = line.find(separator, start) + separator.size();
    const std::size_t end = line.find(separator, start);
    std::string renamed = line.substr(0, start) + std::to_string(name);
    if (end != std::string::npos)
        renamed.append(line, end, std::string::npos);
    return renamed;
}

int Merge(const ParsedOptions& options)
{
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（合并后的文件）"));
    if (options.Positional().empty())
        throw UsageError(i18n::Translate("cli", "没有给出要合并的文件"));
    const PointFormat format = FormatFromOptions(options, *output);
    const auto nameAt = std::find(format.layout.columns.begin(), format.layout.columns.end(), 0);
    const auto nameField = static_cast<std::size_t>(nameAt - format.layout.columns.begin());
    const bool renumber = nameAt != format.layout.columns.end();
    if (renumber && !SeparatesFields(format.layout.separator) && format.layout.columns.size() > 1)
        throw UsageError(i18n::Translate("cli",
                                         "分隔符为空或是数字、“.”、“-”时无法找出点名字段，不能重新编号；"
                                         "请用其他分隔符分份"));
    const std::vector<Share> shares = CheckedShares(options.Positional(), format);
    const std::string title = format.csv ? CsvTitle(format) : std::string();
    points::PointFileWriter writer(*output, format.Encoding());
    if (format.csv)
        writer.Write(title);
    std::int64_t nextName = 1, merged = 0, total = 0;
    for (const Share& share : shares)
        total += share.manifest.rows;
    Progress progress(i18n::Translate("cli", "合并"), total, Progress::ModeFor(options.Has("quiet")));
    std::string line;
    for (const Share& share : shares) {
        ShareReader reader(share.path);
        std::int64_t rows = 0;
        for (std::int64_t number = 1; reader.Next(line); ++number) {
            const auto refuse = [&](const std::string& reason) {
                return InputError(points::LineMessage(i18n::Translate("cli", "%1 第 %2 行读不出：%3"),
                                                      share.path, number, reason));
            };
            if (number == 1 && format.csv) {
                if (line != title)
                    throw refuse(i18n::Format(i18n::Translate("cli", "应为标题行“%1”"),
                                              {title.substr(0, title.size() - format.lineEnd.size())}));
                continue;
            }
            if (!line.ends_with(format.lineEnd))
                throw refuse(
                    i18n::Format(i18n::Translate("cli", "行尾应为 %1"), {format.csv ? "LF" : "CR LF"}));
            line.resize(line.size() - format.lineEnd.size());
            if (const std::string problem = RowProblem(line, format); !problem.empty())
                throw refuse(problem);
            ++rows;
            // The shares were written in the target's encoding and hold ASCII only: their
            // bytes pass through; only the names become the run's count.
            writer.Write((renumber ? Renamed(line, format.layout.separator, nameField, nextName++) : line) +
                         format.lineEnd);
            progress.Update(++merged);
        }
        if (reader.checksum() != share.manifest.checksum)
            throw InputError(i18n::Format(
                i18n::Translate("cli", "%1 的内容与分份说明 %2 不符：这一份在 sample 之后被改动过"),
                {share.path, ManifestPath(share.path).string()}));
        if (rows != share.manifest.rows)
            throw InputError(
                i18n::Format(i18n::Translate("cli", "%1 有 %2 个点行，而分份说明记载 %3 个"),
                             {share.path, std::to_string(rows), std::to_string(share.manifest.rows)}));
    }
    progress.Finish(merged);
    writer.Commit();
    return kExitOk;
}

}  // namespace

int RunSample(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kSampleOptions, SampleHelp(), Sample);
}

int RunMerge(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kMergeOptions, MergeHelp(), Merge);
}

}  // namespace keldarn::cli
