// keldarn-cli: the program's work without its window, for areas of any size, batch jobs
// and runs on several machines.

#include "cli/command_line.h"
#include "cli/convert_command.h"
#include "cli/kml_commands.h"
#include "cli/sample_command.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kHelp = R"(用法：keldarn-cli 子命令 [选项]

子命令：
  sample    在测区内按测量坐标格网采集高程，写入导出格式（.dat）或 CSV
  merge     把 sample --part 分份运行的结果合并为一个文件
  convert   把文本文件中的点在经纬度与测量坐标之间换算
  kml2dxf   把 KML/KMZ 文件绘成图形，存为 DXF 文件（同“KML文件转为CAD图形”后保存）
  dxf2kml   把 DXF 图形中的文字和多段线写成 KML 文件（同“CAD图形转为KML文件”）

各子命令的选项：keldarn-cli 子命令 --help
退出状态：0 成功，1 输入有误，2 读写失败。
)";

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "help") {
        std::fputs(kHelp, arguments.empty() ? stderr : stdout);
        return arguments.empty() ? keldarn::cli::kExitBadInput : keldarn::cli::kExitOk;
    }
    if (arguments[0] == "sample")
        return keldarn::cli::RunSample(arguments);
    if (arguments[0] == "merge")
        return keldarn::cli::RunMerge(arguments);
    if (arguments[0] == "convert")
        return keldarn::cli::RunConvert(arguments);
    if (arguments[0] == "kml2dxf")
        return keldarn::cli::RunKml2Dxf(arguments);
    if (arguments[0] == "dxf2kml")
        return keldarn::cli::RunDxf2Kml(arguments);
    std::fprintf(stderr, "keldarn-cli：未知的子命令“%s”\n\n%s", arguments[0].c_str(), kHelp);
    return keldarn::cli::kExitBadInput;
}
