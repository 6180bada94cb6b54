#include "cli/contours_command.h"

#include "cad/drawing_document.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "cli/command_line.h"
#include "cli/kml_read_limits.h"
#include "cli/progress.h"
#include "cli/survey_frame.h"
#include "i18n/interface_text.h"
#include "kml/kml_error.h"
#include "ops/contours.h"
#include "ops/kml_shapes.h"
#include "survey/survey_error.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

namespace keldarn::cli {

namespace {

namespace fs = std::filesystem;

// The page of --help, in the interface language.
std::string ContoursHelp()
{
    return i18n::Translate(
        "cli",
        R"(用法：keldarn-cli contours --terrain 地形 --meridian 中央子午线 --interval 等高距
                           (--bbox 南,西,北,东 | --kml 区域.kml) --output 文件.dxf [选项]

在区域内生成等高线，画入新建的图形并存为 DXF 文件，与程序中“等高线到CAD图形...”画入
新建CAD图形后保存的文件相同：首曲线在图层“首曲线”，每五条一条计曲线在图层“计曲线”并注记
高程，多段线的标高为等高线的高程（测量高程，已加高程改正）。

  --terrain 地形        DEM 文件、分幅文件夹、.zip、VRT 或 http(s) 网址；缺省取 --settings 中的
  --settings 文件       Keldarn.ini：四参数 [GEzbzh]、椭球与分带 [Projection] 与地形 [Terrain]
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例 --dh 米
                        四参数与高程改正，覆盖 --settings 中的值
  --interval 米         等高距（必填，> 0）
  --bbox 南,西,北,东    以纬度、经度（度）给出的区域
  --kml 文件            KML/KMZ 中的多边形（闭合的坐标串），内环为洞；有多个时取第一个
  --name 名称           取 --kml 中名为此名的多边形
  --output 文件         输出的 DXF 文件（必填）
  --quiet               不显示进度和结果
  --help                显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
)");
}

const std::vector<OptionRule> kContoursOptions = {
    {"terrain"},  {"settings"}, {"meridian"}, {"dx"},   {"dy"},     {"rot"},          {"scale"},      {"dh"},
    {"interval"}, {"bbox"},     {"kml"},      {"name"}, {"output"}, {"quiet", false}, {"help", false}};

// The area of --bbox, or the first polygon of --kml (the one named by --name).
ops::AreaRings Area(const ParsedOptions& options)
{
    if (options.Has("bbox") == options.Has("kml"))
        throw UsageError(i18n::Translate("cli", "区域要用 --bbox 或 --kml 之一给出"));
    if (const auto bbox = options.Value("bbox")) {
        return ops::AreaOfBox(ReadBox(*bbox));
    }
    return ops::AreaOfRings(KmlShapeFromOptions(options, true).shape.rings);
}

int Contours(const ParsedOptions& options)
{
    ops::ContoursRequest request;
    request.terrainPath = TerrainFromOptions(options).path;
    request.frame = SurveyFrameFromOptions(options);
    const auto interval = options.Number("interval");
    if (!interval || !(*interval > 0.0))
        throw UsageError(i18n::Translate("cli", "缺少 --interval，或间距不大于 0"));
    request.intervalM = *interval;
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出文件）"));
    const auto start = std::chrono::steady_clock::now();
    ops::ContoursResult result;
    try {
        request.area = Area(options);
        Progress progress(i18n::Translate("cli", "等高线"), 1000, Progress::ModeFor(options.Has("quiet")));
        RunWithProgress([&](survey::TaskProgress& shared) { result = ops::RunContours(request, &shared); },
                        progress);
    } catch (const survey::SurveyInputError& error) {
        throw InputError(error.what());
    }
    if (result.lines.empty())
        throw InputError(ops::NoContoursMessage());
    cad::DrawingDocument document;
    ops::DrawContoursInto(document.Model(), result);
    try {
        cad::SaveDxfFile(document.Model(), QFile::decodeName(output->c_str()));
    } catch (const cad::DxfError& error) {
        throw RunError(error.what());
    }
    if (!options.Has("quiet"))
        PrintLine(ops::ContoursSummary(
            result, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()));
    return kExitOk;
}

}  // namespace

int RunContours(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kContoursOptions, ContoursHelp(), Contours);
}

}  // namespace keldarn::cli
