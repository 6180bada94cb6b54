// keldarn-cli: the program's work without its window, for areas of any size, batch jobs
// and runs on several machines.

#include "settings/install_layout.h"
#include "settings/interface_language.h"
#include "cli/command_line.h"
#include "cli/contours_command.h"
#include "cli/convert_command.h"
#include "cli/kml_commands.h"
#include "cli/points2dxf_command.h"
#include "cli/profile_command.h"
#include "cli/sample_command.h"
#include "fileio/interrupt_cleanup.h"
#include "i18n/interface_text.h"

#include <QLocale>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// The program's help page, in the interface language.
std::string Help()
{
    return keldarn::i18n::Translate("cli", R"(用法：keldarn-cli 子命令 [选项]

子命令：
  sample    在测区内按测量坐标格网采集高程，写入导出格式（.dat）或 CSV
  merge     把 sample --part 分份运行的结果合并为一个文件
  convert   把文本文件中的点在经纬度与测量坐标之间换算
  profile   沿路线取纵断面，写成导出格式（.dat）、CSV 或纵断面图（.svg）
  contours  在区域内生成等高线，存为 DXF 文件（同“等高线到CAD图形...”后保存）
  points2dxf 把点文件中的点作为高程点存为 DXF 文件（同“高程点到CAD图形”后保存）
  kml2dxf   把 KML/KMZ 文件绘成图形，存为 DXF 文件（同“KML文件转为CAD图形”后保存）
  dxf2kml   把 DXF 图形中的文字和多段线写成 KML 文件（同“CAD图形转为KML文件”）

各子命令的选项：keldarn-cli 子命令 --help
退出状态：0 成功，1 输入有误，2 读写失败。
)");
}

// English texts unless the user's language list ($LANGUAGE, LC_ALL, LC_MESSAGES, LANG) is
// Chinese, as the window decides without a choice in its settings. The translation lies
// beside the executable in a build folder, under <prefix>/share/keldarn when installed.
void UseUserLanguage()
{
    using namespace keldarn::settings;
    if (UsesChineseInterface(LanguageChoice::FollowSystem, QLocale::system()))
        return;
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !InstallModuleTranslation(DataDirectory(executable.parent_path())))
        std::fputs("keldarn-cli: no English translation was found; messages stay Chinese.\n", stderr);
}

}  // namespace

int main(int argc, char** argv)
{
    // An interrupted nightly run must not leave a temporary file the size of its output.
    keldarn::fileio::RemoveTemporaryFilesOnTermination();
    UseUserLanguage();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "help") {
        std::fputs(Help().c_str(), arguments.empty() ? stderr : stdout);
        return arguments.empty() ? keldarn::cli::kExitBadInput : keldarn::cli::kExitOk;
    }
    if (arguments[0] == "sample")
        return keldarn::cli::RunSample(arguments);
    if (arguments[0] == "merge")
        return keldarn::cli::RunMerge(arguments);
    if (arguments[0] == "convert")
        return keldarn::cli::RunConvert(arguments);
    if (arguments[0] == "profile")
        return keldarn::cli::RunProfile(arguments);
    if (arguments[0] == "contours")
        return keldarn::cli::RunContours(arguments);
    if (arguments[0] == "points2dxf")
        return keldarn::cli::RunPoints2Dxf(arguments);
    if (arguments[0] == "kml2dxf")
        return keldarn::cli::RunKml2Dxf(arguments);
    if (arguments[0] == "dxf2kml")
        return keldarn::cli::RunDxf2Kml(arguments);
    keldarn::cli::PrintLine(keldarn::i18n::Format(
        keldarn::i18n::Translate("cli", "keldarn-cli：未知的子命令“%1”"), {arguments[0]}));
    std::fputs(("\n" + Help()).c_str(), stderr);
    return keldarn::cli::kExitBadInput;
}
