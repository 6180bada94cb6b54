#include "cli/sample_command.h"

#include "app/settings.h"
#include "kml/kml_error.h"
#include "kml/kml_file.h"
#include "cli/command_line.h"
#include "cli/point_output.h"
#include "cli/progress.h"
#include "cli/survey_frame.h"
#include "survey/sample_plan.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "i18n/interface_text.h"
#include "raster/elevation_source.h"

#include <algorithm>
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
  --part i/n            只做 n 份中的第 i 份（1..n，按格网行分成连续的带）；用 merge 合并
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
        R"(用法：keldarn-cli merge --output 文件 [--format dat|csv] [--fields ...] [--separator ...] 第1份 第2份 ...

把 sample --part i/n 的各份结果按顺序合并为一次运行所写的文件（点名重新连续编号）。
格式选项必须与生成各份时相同。

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

std::vector<double> NumberList(const std::string& text, const std::string& option, std::size_t count)
{
    std::vector<double> values;
    std::stringstream fields(text);
    std::string field;
    while (std::getline(fields, field, ',')) {
        try {
            values.push_back(geodesy::ParseNumber(field));
        } catch (const std::exception&) {
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "--%1 的值“%2”中“%3”不是数"), {option, text, field}));
        }
    }
    if (values.size() != count)
        throw UsageError(i18n::Format(i18n::Translate("cli", "--%1 需要 %2 个以逗号分隔的数，不是“%3”"),
                                      {option, std::to_string(count), text}));
    return values;
}

std::vector<std::pair<double, double>> ReadBoundary(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw UsageError(i18n::Format(i18n::Translate("cli", "无法打开边界文件 %1"), {path}));
    std::vector<std::pair<double, double>> points;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::replace_if(
            line.begin(), line.end(), [](char c) { return c == ',' || c == '\t' || c == ';'; }, ' ');
        std::istringstream fields(line);
        std::string x, y;
        if (!(fields >> x))
            continue;  // a blank line
        try {
            if (!(fields >> y))
                throw UsageError("");
            points.emplace_back(geodesy::ParseNumber(x), geodesy::ParseNumber(y));
        } catch (const std::exception&) {
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "%1 第 %2 行：应为 \"X,Y\" 两个数，而不是“%3”"),
                             {path, std::to_string(number), line}));
        }
    }
    if (points.size() < 3)
        throw UsageError(i18n::Format(i18n::Translate("cli", "%1：边界至少要有 3 个点"), {path}));
    return points;
}

// The closed rings (first vertex repeated at the end, at least three others) of a KML or
// KMZ file with its linked layers, as longitude/latitude vertices: polygons' outer and
// inner boundaries.
std::vector<std::vector<std::pair<double, double>>> ReadKmlRings(const std::string& path)
{
    class Rings : public cad::KmlGeometrySink {
    public:
        void OnCoordinates(std::vector<double>& lonLat, const std::string&) override
        {
            const std::size_t n = lonLat.size() / 2;
            if (n < 4 || lonLat[0] != lonLat[2 * n - 2] || lonLat[1] != lonLat[2 * n - 1])
                return;  // points and open lines bound nothing
            auto& ring = rings.emplace_back();
            for (std::size_t k = 0; k + 1 < n; ++k)
                ring.emplace_back(lonLat[2 * k], lonLat[2 * k + 1]);
        }
        std::vector<std::vector<std::pair<double, double>>> rings;
    } sink;
    try {
        cad::ScanKmlFile(path, sink);
    } catch (const cad::KmlError& error) {
        throw UsageError(error.what());
    }
    if (sink.rings.empty())
        throw UsageError(
            i18n::Format(i18n::Translate("cli", "%1 中没有多边形（闭合的坐标串），无法作为测区"), {path}));
    return std::move(sink.rings);
}

// "i/n" with 1 <= i <= n, as 0-based part and count.
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
            // The height correction as the window applies it: H = elevation + dH.
            const double h = geodesy::FourParamForward(frame.transform, {row[k].x, row[k].y, *heights[k]}).h;
            cells[0] = std::string(1, kNameMark);
            cells[2] = geodesy::FormatFixed(row[k].x, 3);
            cells[3] = geodesy::FormatFixed(row[k].y, 3);
            cells[4] = geodesy::FormatFixed(h, 3);
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
    const auto settingsPath = SettingsFileFromOptions(options);
    const std::string terrain = options.Value("terrain").value_or(
        settingsPath ? app::LoadTerrainSource(*settingsPath) : std::string());
    if (terrain.empty())
        throw UsageError(i18n::Translate("cli", "缺少 --terrain（地形数据），设置文件中也没有"));
    const std::size_t cacheBytes = settingsPath ? app::LoadTerrainCacheBytes(*settingsPath)
                                                : static_cast<std::size_t>(app::kDefaultTerrainCacheMB) << 20;
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
    std::optional<SamplePlan> plan;
    if (const auto bbox = options.Value("bbox")) {
        const std::vector<double> v = NumberList(*bbox, "bbox", 4);
        if (!(v[0] < v[2] && v[1] < v[3] && v[0] >= -90.0 && v[2] <= 90.0))
            throw UsageError(i18n::Translate("cli", "--bbox 应为 南,西,北,东（度），且南 < 北、西 < 东"));
        plan = SamplePlan::ForGeoBox({v[0], v[1], v[2], v[3]}, *spacing, frame);
    } else if (const auto kml = options.Value("kml")) {
        plan = SamplePlan::ForGeoRings(ReadKmlRings(*kml), *spacing, frame);
    } else {
        plan = SamplePlan::ForBoundary(ReadBoundary(*options.Value("boundary")), *spacing, frame);
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
    // Every worker reads through a source of its own (GDAL datasets are not shared).
    std::vector<std::unique_ptr<raster::ElevationSource>> sources;
    try {
        for (int k = 0; k < threads; ++k)
            sources.push_back(std::make_unique<raster::ElevationSource>(terrain, cacheBytes / threads));
    } catch (const std::exception& failure) {
        throw RunError(failure.what());
    }

    PointFileWriter writer(*output, format);
    if (format.csv)
        writer.Write(CsvTitle(format));
    const std::int64_t rowsPerTask =
        std::max<std::int64_t>(1, kCandidatesPerTask / std::max<std::int64_t>(1, plan->ColumnCount()));
    Progress progress(i18n::Translate("cli", "采样"), (endRow - beginRow) * plan->ColumnCount(),
                      Progress::ModeFor(options.Has("quiet")));
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
        for (auto& task : tasks) {
            TaskResult result;
            try {
                result = task.get();
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
        progress.Update(std::min(endRow, waveRow + rowsPerTask * threads) * plan->ColumnCount() -
                        beginRow * plan->ColumnCount());
    }
    progress.Finish((endRow - beginRow) * plan->ColumnCount());
    // One share of several may hold no point (a band outside a polygon): it is written empty,
    // so that merge finds every share. A whole run without points is an error.
    if (written == 0 && parts == 1)
        throw UsageError(
            voids > 0
                ? i18n::Format(i18n::Translate("cli", "测区内的 %1 个格网点都没有高程（在地形数据范围之外"
                                                      "或是数据空洞），没有写出文件"),
                               {std::to_string(voids)})
                : i18n::Translate("cli", "测区内没有格网点（测区太小或间距太大），没有写出文件"));
    writer.Commit();
    if (!options.Has("quiet"))
        PrintLine(voids > 0 ? i18n::Format(i18n::Translate("cli", "已写出 %1 个点到 %2；%3 个格网点没有高程"
                                                                  "（数据范围之外或数据空洞），未写出"),
                                           {std::to_string(written), *output, std::to_string(voids)})
                            : i18n::Format(i18n::Translate("cli", "已写出 %1 个点到 %2"),
                                           {std::to_string(written), *output}));
    return kExitOk;
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
    if (renumber && format.layout.separator.empty() && format.layout.columns.size() > 1)
        throw UsageError(
            i18n::Translate("cli", "分隔符为空时无法找出点名字段，不能重新编号；请用带分隔符的格式分份"));
    PointFileWriter writer(*output, format);
    std::int64_t nextName = 1;
    bool titleWritten = false;
    for (const std::string& partPath : options.Positional()) {
        std::ifstream in(partPath, std::ios::binary);
        if (!in)
            throw RunError(i18n::Format(i18n::Translate("cli", "无法读取文件 %1"), {partPath}));
        std::string line, out;
        for (int number = 1; std::getline(in, line); ++number) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (format.csv && number == 1) {
                if (!titleWritten)
                    writer.Write(line + format.lineEnd);
                titleWritten = true;
                continue;
            }
            out.clear();
            if (!renumber) {
                out = line;
            } else {
                // The fields up to the name's are copied; the name is the run's count.
                std::size_t start = 0;
                for (std::size_t field = 0; field < nameField; ++field) {
                    const std::size_t next = line.find(format.layout.separator, start);
                    if (next == std::string::npos)
                        throw UsageError(
                            i18n::Format(i18n::Translate("cli", "%1 第 %2 行的字段少于所给的格式"),
                                         {partPath, std::to_string(number)}));
                    start = next + format.layout.separator.size();
                }
                const std::size_t end =
                    format.layout.separator.empty() ? line.size() : line.find(format.layout.separator, start);
                out.append(line, 0, start);
                out += std::to_string(nextName++);
                if (end != std::string::npos)
                    out.append(line, end, std::string::npos);
            }
            // The parts were written in the target's encoding; pass their bytes through.
            out += format.lineEnd;
            writer.Write(out);
        }
    }
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
