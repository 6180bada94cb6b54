#include "cli/profile_command.h"

#include "cli/command_line.h"
#include "cli/grid_point_file.h"
#include "cli/kml_read_limits.h"
#include "cli/point_output.h"
#include "points/point_file_writer.h"
#include "cli/progress.h"
#include "cli/survey_frame.h"
#include "i18n/interface_text.h"
#include "kml/kml_error.h"
#include "ops/kml_shapes.h"
#include "ops/profile.h"
#include "ops/profile_chart.h"
#include "points/export_writer.h"
#include "survey/survey_error.h"

#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace keldarn::cli {

namespace {

namespace fs = std::filesystem;

// The page of --help, in the interface language.
std::string ProfileHelp()
{
    return i18n::Translate("cli",
                           R"(用法：keldarn-cli profile --terrain 地形 --meridian 中央子午线 --interval 间距
                          (--kml 路线.kml | --route 路线文件) --output 文件 [选项]

沿路线取纵断面，与程序中“纵断面...”相同：每个顶点和顶点之间里程为间距整数倍的点，
高程取自地形数据的原始分辨率。按输出文件的扩展名写出：
  .dat  程序的导出格式（同“加入点表”后导出：点名为里程，描述为路线名，GB18030，CR LF）
  .csv  同样的字段，带标题行，UTF-8
  .svg  纵断面图（同纵断面窗口的“保存SVG...”），.png 为位图

  --terrain 地形          DEM 文件、分幅文件夹、.zip、VRT 或 http(s) 网址；缺省取 --settings 中的
  --settings 文件         Keldarn.ini：四参数 [GEzbzh]、椭球与分带 [Projection] 与地形 [Terrain]
  --meridian 度           中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                          四参数与高程改正，覆盖 --settings 中的值
  --interval 米           采样间距（必填，> 0）
  --kml 文件              KML/KMZ 中的路径（两个顶点以上的线）；有多条时取第一条
  --name 名称             取 --kml 中名为此名的路径
  --route 文件            以测量坐标给出的路线：每行 "X,Y"（或以空格、制表符分隔）
  --chainage plane|ellipsoid
                          里程按测量平面（缺省）或椭球面计算
  --start-chainage 里程   第一个顶点的里程，如 K1+250.5 或 1250.5（缺省 K0+000）
  --fields 0,1,3,2,4      导出字段及顺序：0点名 1描述 2X坐标 3Y坐标 4高程H（缺省同程序的导出）
  --separator ,           导出分隔符（一个字符或空，缺省逗号）
  --size 宽x高            纵断面图的大小（像素，缺省 960x480）
  --output 文件           输出文件（必填）
  --quiet                 不显示进度和结果
  --help                  显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
)");
}

const std::vector<OptionRule> kProfileOptions = {
    {"terrain"},   {"settings"}, {"meridian"}, {"dx"},           {"dy"},
    {"rot"},       {"scale"},    {"dh"},       {"interval"},     {"kml"},
    {"name"},      {"route"},    {"chainage"}, {"fields"},       {"start-chainage"},
    {"separator"}, {"size"},     {"output"},   {"quiet", false}, {"help", false}};

// The chart of a profile window of 1000 × 560 pixels, about.
constexpr QSize kDefaultChartSize(960, 480);

std::string Extension(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

QSize ChartSize(const std::optional<std::string>& text)
{
    if (!text)
        return kDefaultChartSize;
    int width = 0, height = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text->c_str(), "%d%c%d%c", &width, &x, &height, &rest) != 3 || (x != 'x' && x != 'X') ||
        width < 1 || height < 1 || width > 20000 || height > 20000)
        throw UsageError(
            i18n::Format(i18n::Translate("cli", "--size 应为 宽x高（像素，1 至 20000），不是“%1”"), {*text}));
    return {width, height};
}

// The route and its name: the first path of --kml (or the one named by --name), or the
// points of --route named by the file.
std::pair<geodesy::GeoRing, std::string> Route(const ParsedOptions& options, const survey::SurveyFrame& frame)
{
    if (options.Has("kml") == options.Has("route"))
        throw UsageError(i18n::Translate("cli", "路线要用 --kml 或 --route 之一给出"));
    if (const auto route = options.Value("route")) {
        const std::vector<geodesy::PlanePoint> points = ReadGridPoints(*route);
        return {ops::RouteVerticesFromGrid(points, frame), fs::path(*route).stem().string()};
    }
    const ChosenKmlShape route = KmlShapeFromOptions(options, false);
    return {ops::RouteVertices(route.shape.rings.front()), route.name};
}

// The rows in a point table, exported as the window exports its table (.dat), or as CSV.
void WritePoints(const ops::ProfileTableRows& rows, const ParsedOptions& options, const std::string& output)
{
    const PointFormat format = FormatFromOptions(options, output);
    points::PointTableModel table;
    table.AppendRows(rows.cells);
    if (!points::FindSeparatorClashes(table, format.layout).empty())
        throw UsageError(i18n::Format(
            i18n::Translate("cli", "路线名“%1”中含有分隔符“%2”，请用 --separator 另选分隔符"),
            {rows.cells.front()[points::kDescriptionColumn].toStdString(), format.layout.separator}));
    if (!format.csv) {
        try {
            points::ExportPointsFile(table, format.layout, output, {});
        } catch (const points::ExportError& error) {
            throw RunError(error.what());
        }
        return;
    }
    points::PointFileWriter writer(output, format.Encoding());
    writer.Write(CsvTitle(format));
    for (int row = 1; row <= table.DataRowCount(); ++row)
        writer.Write(points::ExportLine(table, row, format.layout) + format.lineEnd);
    writer.Commit();
}

// The chart as the profile window saves it: the whole route at the fitted exaggeration.
void WriteChart(const std::vector<survey::ProfileSample>& samples, QSize size, const std::string& output)
{
    // Fonts need a QGuiApplication; keldarn-cli shows no window, so Qt's offscreen platform,
    // whose notes on the session (no XDG_RUNTIME_DIR on a batch node) are no concern here.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "keldarn-cli";
    static char* argv[] = {name, nullptr};
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const std::unique_ptr<QGuiApplication> gui(QGuiApplication::instance() ? nullptr
                                                                           : new QGuiApplication(argc, argv));
    qInstallMessageHandler(previous);
    if (!ops::SaveProfileChart(QFile::decodeName(output.c_str()), size, samples,
                               ops::WholeRouteView(samples, size)))
        throw RunError(i18n::Format(i18n::Translate("cli", "无法写入文件“%1”。"), {output}));
}

int Profile(const ParsedOptions& options)
{
    const TerrainOption terrain = TerrainFromOptions(options);
    ops::ProfileRequest request;
    request.frame = SurveyFrameFromOptions(options);
    const auto interval = options.Number("interval");
    if (!interval || !(*interval > 0.0))
        throw UsageError(i18n::Translate("cli", "缺少 --interval，或间距不大于 0"));
    request.intervalM = *interval;
    const std::string chainage = options.Value("chainage").value_or("plane");
    if (chainage != "plane" && chainage != "ellipsoid")
        throw UsageError(i18n::Format(
            i18n::Translate("cli", "--chainage 只能是 plane 或 ellipsoid，不是“%1”"), {chainage}));
    request.measure =
        chainage == "plane" ? survey::ChainageMeasure::SurveyPlane : survey::ChainageMeasure::Ellipsoid;
    const std::string startText = options.Value("start-chainage").value_or("K0+000");
    const std::optional<double> startM = survey::ParseChainage(startText);
    if (!startM)
        throw UsageError(i18n::Format(
            i18n::Translate("cli", "起始里程“%1”无法识别，请写成 K1+250.5 或 1250.5 的形式。"), {startText}));
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出文件）"));
    const std::string extension = Extension(*output);
    const bool chart = extension == ".svg" || extension == ".png";
    if (!chart && extension != ".dat" && extension != ".csv")
        throw UsageError(i18n::Format(
            i18n::Translate("cli", "--output 的扩展名应为 .dat、.csv、.svg 或 .png，不是“%1”"), {*output}));
    const QSize size = ChartSize(options.Value("size"));

    std::string routeName;
    ops::ProfileResult result;
    try {
        std::tie(request.routeVertices, routeName) = Route(options, request.frame);
        std::unique_ptr<raster::ElevationSource> source;
        try {
            source = std::make_unique<raster::ElevationSource>(terrain.path, terrain.cacheBytes);
        } catch (const std::exception& failure) {
            throw RunError(failure.what());
        }
        request.heights = survey::HeightsOf(*source);
        Progress progress(i18n::Translate("cli", "纵断面"), 1000, Progress::ModeFor(options.Has("quiet")));
        RunWithProgress([&](survey::TaskProgress& shared) { result = ops::RunProfile(request, &shared); },
                        progress);
    } catch (const survey::SurveyInputError& error) {
        throw InputError(error.what());
    }
    const ops::ProfileTableRows rows = ops::ProfileRowsForTable(result.samples, routeName, *startM);
    if (chart) {
        WriteChart(result.samples, size, *output);
    } else {
        if (rows.cells.empty())
            throw InputError(i18n::Translate(
                "cli", "路线上没有一个点有地形数据（在地形数据范围之外或是数据空洞），没有写出文件"));
        WritePoints(rows, options, *output);
    }
    if (!options.Has("quiet"))
        PrintLine(i18n::Format(i18n::Translate("cli", "已写出 %1 个点到 %2"),
                               {std::to_string(chart ? result.samples.size() : rows.cells.size()), *output}) +
                  (chart ? std::string() : ops::SkippedSamplesNote(rows)));
    return kExitOk;
}

}  // namespace

int RunProfile(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kProfileOptions, ProfileHelp(), Profile);
}

}  // namespace keldarn::cli
