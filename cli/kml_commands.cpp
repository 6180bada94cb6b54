#include "cli/kml_commands.h"

#include "settings/settings.h"
#include "cad/drawing_document.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "cad/kml_to_drawing.h"
#include "cad/kml_writer.h"
#include "cli/command_line.h"
#include "cli/kml_read_limits.h"
#include "cli/survey_frame.h"
#include "fileio/file_error.h"
#include "geodesy/central_meridian.h"
#include "geodesy/survey_conversion.h"
#include "i18n/interface_text.h"

#include <QFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>

namespace keldarn::cli {

namespace {

namespace fs = std::filesystem;

// The page of --help, in the interface language.
std::string Kml2DxfHelp()
{
    return i18n::Translate(
        "cli",
        R"(用法：keldarn-cli kml2dxf --meridian 中央子午线 (--output 文件.dxf | --output-dir 文件夹) [选项] 输入...

把 KML/KMZ 文件绘成图形并存为 DXF 文件，与程序中“KML文件转为CAD图形”后在图形窗口保存的
文件相同：只有一个顶点的坐标画成点（地标有名称时在同一位置注记名称），多个顶点的画成多段线。
经纬度按中央子午线投影并经四参数转换；图形的 x 是东坐标 Y，y 是北坐标 X，单位米。

  输入                  .kml 或 .kmz 文件，或文件夹（取其中直接包含的全部 .kml、.kmz 文件）
  --settings 文件       Keldarn.ini：四参数 [GEzbzh]，选项优先
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例
                        四参数，覆盖 --settings 中的值
  --text-height 米      名称注记的字高（缺省 3，即新建图形中程序所用的 3 × LTSCALE）
  --output 文件         输出的 DXF 文件（只有一个输入文件时）
  --output-dir 文件夹   每个输入写成此文件夹中同名的 .dxf 文件；文件夹不存在时创建
  --quiet               不显示每个文件的结果
  --help                显示本说明

KML 文件中没有可绘制的点或线时给出警告，不写出文件。多个输入按顺序转换，遇到错误即停止，
此前已写出的文件保留。
退出状态：0 成功，1 输入有误，2 读写失败（此时不改动出错的输出文件）。
)");
}

// The page of --help, in the interface language.
std::string Dxf2KmlHelp()
{
    return i18n::Translate(
        "cli", R"(用法：keldarn-cli dxf2kml --meridian 中央子午线 --output 文件.kml [选项] 文件.dxf

把 DXF 图形中全部单行文字和轻量多段线写成 KML 文件，与在图形窗口中打开该文件、用
“CAD图形转为KML文件”选中整个图形时写出的文件相同：文字成为以文字命名的点，闭合的多段线
成为多边形（Region1、Region2…），其余成为线（Line1、Line2…）。图形坐标经反向四参数转换和
中央子午线上的反投影得到经纬度。

  --settings 文件       Keldarn.ini：四参数 [GEzbzh]，选项优先
  --meridian 度         中央子午线经度（必填）
  --dx 米 --dy 米 --rot 秒 --scale 比例
                        四参数，覆盖 --settings 中的值
  --output 文件         输出的 KML 文件（必填）
  --quiet               不显示结果
  --help                显示本说明

图形中没有文字或多段线时给出警告，不写出文件。
退出状态：0 成功，1 输入有误，2 读写失败（此时不改动输出文件）。
)");
}

const std::vector<OptionRule> kKml2DxfOptions = {
    {"settings"},    {"meridian"}, {"dx"},         {"dy"},           {"rot"},        {"scale"},
    {"text-height"}, {"output"},   {"output-dir"}, {"quiet", false}, {"help", false}};

const std::vector<OptionRule> kDxf2KmlOptions = {{"settings"}, {"meridian"},     {"dx"},
                                                 {"dy"},       {"rot"},          {"scale"},
                                                 {"output"},   {"quiet", false}, {"help", false}};

// The selection filter of the window's command, "<or <and LWPolyline and> <and Text and> or>".
const std::vector<std::int16_t> kFilterTypes = {-4, -4, 0, -4, -4, 0, -4, -4};
const std::vector<std::string> kFilterData = {"<or",  "<and", "LWPolyline", "and>",
                                              "<and", "Text", "and>",       "or>"};

// A warning on standard error; the run goes on.
void Warn(const char* command, const std::string& text)
{
    PrintLine(i18n::Format(i18n::Translate("cli", "keldarn-cli %1：警告：%2"), {command, text}));
}

// A path as the drawing's file functions take it.
QString QtPath(const fs::path& path)
{
    return QFile::decodeName(path.c_str());
}

bool IsKmlName(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".kml" || extension == ".kmz";
}

// The files named, and the .kml/.kmz files directly inside the folders named (by name).
std::vector<fs::path> KmlInputs(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        throw UsageError(i18n::Translate("cli", "没有给出要转换的 KML/KMZ 文件或文件夹"));
    std::vector<fs::path> inputs;
    for (const std::string& argument : arguments) {
        const fs::path path(argument);
        if (!fs::is_directory(path)) {
            if (!fs::exists(path))  // a read that fails: status 2, as in every subcommand
                throw RunError(i18n::Format(i18n::Translate("cli", "找不到输入文件 %1"), {argument}));
            inputs.push_back(path);
            continue;
        }
        std::vector<fs::path> found;
        try {
            for (const fs::directory_entry& entry : fs::directory_iterator(path))
                if (IsKmlName(entry.path()) && entry.is_regular_file())
                    found.push_back(entry.path());
        } catch (const fs::filesystem_error& error) {
            throw RunError(i18n::Format(i18n::Translate("cli", "无法读取文件夹 %1：%2"),
                                        {argument, fileio::DescribeSystemError(error.code().value())}));
        }
        if (found.empty())
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "文件夹 %1 中没有 .kml 或 .kmz 文件"), {argument}));
        std::sort(found.begin(), found.end());
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    return inputs;
}

// The DXF file of each input: --output for a single input, else each input's name with
// .dxf in --output-dir.
std::vector<fs::path> DxfTargets(const ParsedOptions& options, const std::vector<fs::path>& inputs)
{
    const auto output = options.Value("output");
    const auto outputDir = options.Value("output-dir");
    if (output && outputDir)
        throw UsageError(i18n::Translate("cli", "--output 与 --output-dir 只能给出一个"));
    if (output) {
        if (output->empty())
            throw UsageError(i18n::Translate("cli", "--output 的文件名是空的"));
        if (inputs.size() != 1)
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "有 %1 个输入文件，请用 --output-dir 给出输出文件夹"),
                             {std::to_string(inputs.size())}));
        return {fs::path(*output)};
    }
    if (!outputDir || outputDir->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出文件）或 --output-dir（输出文件夹）"));
    std::vector<fs::path> targets;
    std::set<fs::path> taken;
    for (const fs::path& input : inputs) {
        const fs::path target = fs::path(*outputDir) / fs::path(input.filename()).replace_extension(".dxf");
        if (!taken.insert(target).second)
            throw UsageError(
                i18n::Format(i18n::Translate("cli", "有两个输入都会写成 %1，请分开转换"), {target.string()}));
        targets.push_back(target);
    }
    return targets;
}

// The window's warning for a file with nothing to draw: what the file held instead.
std::string NothingDrawnMessage(const cad::KmlDrawSummary& summary)
{
    std::string found;
    const auto count = [&found](std::size_t n, const std::string& what) {
        if (n > 0)
            found += (found.empty() ? std::string() : i18n::Translate("cli", "、")) +
                     i18n::Format(what, {std::to_string(n)});
    };
    count(summary.placemarks, i18n::Translate("cli", "%1 个地标（Placemark）"));
    count(summary.models, i18n::Translate("cli", "%1 个三维模型（Model）"));
    count(summary.overlays, i18n::Translate("cli", "%1 个图片叠加层（Overlay）"));
    return found.empty()
               ? i18n::Translate("cli", "KML文件中没有可绘制的点或线，也没有地标（Placemark）。")
               : i18n::Format(i18n::Translate("cli", "KML文件中没有可绘制的点或线（文件中有：%1）。"),
                              {found});
}

void ConvertKmlFile(const fs::path& input, const fs::path& target, const SurveyFrame& frame,
                    const kml::KmlReadLimits& limits, std::optional<double> textHeight, bool quiet)
{
    // A new drawing of the drawing window, with the name texts as high as the window
    // makes them there.
    cad::DrawingDocument document;
    const double height = textHeight.value_or(3.0 * document.GetVariable("LtScale"));
    cad::KmlDrawSummary summary;
    try {
        summary = cad::DrawKmlFile(input, frame, height, document.ModelSpace(), limits);
    } catch (const kml::KmlError& error) {
        throw InputError(error.what());
    } catch (const cad::AcadError& error) {
        throw InputError(i18n::Format(i18n::Translate("cli", "%1：%2"), {input.string(), error.what()}));
    }
    if (summary.outsideLinks > 0)
        Warn("kml2dxf",
             i18n::Format(i18n::Translate(
                              "cli", "%1：有 %2 个网络链接（NetworkLink）指向文件以外的地址，没有读取：%3"),
                          {input.string(), std::to_string(summary.outsideLinks), summary.firstOutsideLink}));
    if (summary.points + summary.polylines == 0)
        throw InputError(i18n::Format(i18n::Translate("cli", "%1：%2没有写出文件。"),
                                      {input.string(), NothingDrawnMessage(summary)}));
    for (const std::string& line : cad::UnsavedContentLines(document.Model()))
        Warn("kml2dxf", i18n::Format(i18n::Translate("cli", "%1 不能保存图形中的以下内容：%2"),
                                     {target.string(), line}));
    try {
        cad::SaveDxfFile(document.Model(), QtPath(target));
    } catch (const cad::DxfError& error) {
        throw RunError(error.what());
    }
    if (!quiet)
        PrintLine(i18n::Format(i18n::Translate("cli", "%1 → %2：点 %3 个，多段线 %4 条"),
                               {input.string(), target.string(), std::to_string(summary.points),
                                std::to_string(summary.polylines)}));
}

int Kml2Dxf(const ParsedOptions& options)
{
    const SurveyFrame frame = SurveyFrameFromOptions(options);
    const kml::KmlReadLimits limits = KmlReadLimitsFromOptions(options);
    const auto textHeight = options.Number("text-height");
    if (textHeight && !(std::isfinite(*textHeight) && *textHeight > 0.0))
        throw UsageError(i18n::Translate("cli", "--text-height 应大于 0"));
    const std::vector<fs::path> inputs = KmlInputs(options.Positional());
    const std::vector<fs::path> targets = DxfTargets(options, inputs);
    if (const auto outputDir = options.Value("output-dir")) {
        std::error_code error;
        fs::create_directories(*outputDir, error);
        if (error || !fs::is_directory(*outputDir))
            throw RunError(
                i18n::Format(i18n::Translate("cli", "无法创建输出文件夹 %1：%2"),
                             {*outputDir, fileio::DescribeSystemError(error ? error.value() : ENOTDIR)}));
    }
    for (std::size_t k = 0; k < inputs.size(); ++k)
        ConvertKmlFile(inputs[k], targets[k], frame, limits, textHeight, options.Has("quiet"));
    return kExitOk;
}

int Dxf2Kml(const ParsedOptions& options)
{
    const SurveyFrame frame = SurveyFrameFromOptions(options);
    if (options.Positional().size() != 1)
        throw UsageError(options.Positional().empty() ? i18n::Translate("cli", "没有给出要转换的 DXF 文件")
                                                      : i18n::Translate("cli", "一次只能转换一个 DXF 文件"));
    const std::string& input = options.Positional().front();
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError(i18n::Translate("cli", "缺少 --output（输出的 KML 文件）"));

    if (!fs::exists(input))  // a read that fails: status 2, as in every subcommand
        throw RunError(i18n::Format(i18n::Translate("cli", "找不到输入文件 %1"), {input}));
    cad::DrawingDocument document;
    try {
        document.ReplaceModel(cad::ReadDxfFile(QtPath(input)));
    } catch (const cad::DxfError& error) {
        throw InputError(error.what());
    }
    // A selection window drawn around the whole drawing picks the texts, then the
    // polylines, each kind in drawing order (see EntitiesInWindow).
    const cad::DrawingModel& model = document.Model();
    document.SetPicker([&model] {
        std::vector<cad::EntityRef> all;
        for (std::uint32_t i = 0; i < model.Texts().size(); ++i)
            all.push_back({cad::EntityKind::Text, i});
        for (std::uint32_t i = 0; i < model.Polylines().size(); ++i)
            all.push_back({cad::EntityKind::Polyline, i});
        return std::optional(std::move(all));
    });
    cad::IAcadSelectionSet& selection = document.SelectionSets().Add("ssObj");
    selection.SelectOnScreen(kFilterTypes, kFilterData);
    if (selection.Count() == 0)
        throw InputError(i18n::Format(
            i18n::Translate("cli", "%1：图形中没有单行文字或轻量多段线，没有写出文件。"), {input}));
    cad::KmlWriteResult result;
    try {
        result = cad::WriteKmlFromSelection(selection, frame, *output);
    } catch (const kml::KmlError& error) {
        throw InputError(i18n::Format(i18n::Translate("cli", "%1：%2"), {input, error.what()}));
    } catch (const cad::AcadError& error) {
        throw InputError(i18n::Format(i18n::Translate("cli", "%1：%2"), {input, error.what()}));
    } catch (const fileio::FileWriteError& error) {
        throw RunError(error.what());
    }
    if (result.leftOut > 0)
        Warn("dxf2kml",
             i18n::Format(i18n::Translate("cli", "有%1个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），"
                                                 "没有写入KML文件。"),
                          {std::to_string(result.leftOut)}));
    if (!options.Has("quiet"))
        PrintLine(i18n::Format(i18n::Translate("cli", "%1 → %2：地标 %3 个"),
                               {input, *output, std::to_string(result.written)}));
    return kExitOk;
}

}  // namespace

int RunKml2Dxf(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kKml2DxfOptions, Kml2DxfHelp(), Kml2Dxf);
}

int RunDxf2Kml(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kDxf2KmlOptions, Dxf2KmlHelp(), Dxf2Kml);
}

}  // namespace keldarn::cli
