#include "cli/points2dxf_command.h"

#include "cad/drawing_document.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "cli/command_line.h"
#include "cli/point_output.h"
#include "i18n/interface_text.h"
#include "ops/elevation_points.h"
#include "points/import_reader.h"

#include <QFile>

#include <filesystem>

namespace keldarn::cli {

namespace {

// The page of --help, in the interface language.
std::string Points2DxfHelp()
{
    return i18n::Translate("cli",
                           R"(用法：keldarn-cli points2dxf --input 点文件 --output 文件.dxf [选项]

把点文件中的点作为高程点画入新建的图形并存为 DXF 文件，与程序中导入该文件后用
“高程点到CAD图形”画入新建CAD图形、保存的文件相同：图层“高程点”，点的标高为高程，
右侧注记高程（两位小数）。点文件按导出格式读取（同“导入数据...”）；X、Y 或 H 不是数字的
行不画入。

  --input 文件          点文件（必填），字段与分隔符同导出
  --fields 0,1,3,2,4    文件的字段及顺序：0点名 1描述 2X坐标 3Y坐标 4高程H（缺省同程序的导出）
  --separator ,         文件的分隔符（一个字符，缺省逗号）
  --output 文件         输出的 DXF 文件（必填）
  --quiet               不显示结果
  --help                显示本说明

退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
)");
}

const std::vector<OptionRule> kPoints2DxfOptions = {{"input"},  {"fields"},       {"separator"},
                                                    {"output"}, {"quiet", false}, {"help", false}};

int Points2Dxf(const ParsedOptions& options)
{
    const auto input = options.Value("input");
    if (!input || input->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --input（输入文件）"));
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出文件）"));
    const points::ExportLayout layout = FormatFromOptions(options, "points.dat").layout;
    if (!std::filesystem::exists(*input))  // a read that fails: status 2, as in every subcommand
        throw RunError(i18n::Format(i18n::Translate("cli", "找不到输入文件 %1"), {*input}));
    points::PointTableModel table;
    try {
        table.AppendPackedRows(points::ReadPointsFile(*input, layout));
    } catch (const points::ImportError& error) {
        throw InputError(error.what());
    }
    const ops::ElevationPoints points = ops::ElevationPointsOf(table);
    if (points.entries.empty())
        throw InputError(ops::NoElevationPointsMessage());
    cad::DrawingDocument document;
    ops::DrawElevationPointsInto(document.Model(), points);
    try {
        cad::SaveDxfFile(document.Model(), QFile::decodeName(output->c_str()));
    } catch (const cad::DxfError& error) {
        throw RunError(error.what());
    }
    if (!options.Has("quiet"))
        PrintLine(ops::ElevationPointsSummary(points));
    return kExitOk;
}

}  // namespace

int RunPoints2Dxf(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kPoints2DxfOptions, Points2DxfHelp(), Points2Dxf);
}

}  // namespace keldarn::cli
