#include "cli/kml_commands.h"

#include "app/settings.h"
#include "cad/drawing_document.h"
#include "cad/dxf_reader.h"
#include "cad/dxf_writer.h"
#include "cad/kml_to_drawing.h"
#include "cad/kml_writer.h"
#include "cli/command_line.h"
#include "cli/survey_frame.h"
#include "fileio/file_error.h"
#include "geodesy/central_meridian.h"
#include "geodesy/survey_conversion.h"

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

constexpr const char* kKml2DxfHelp =
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
)";

constexpr const char* kDxf2KmlHelp =
    R"(用法：keldarn-cli dxf2kml --meridian 中央子午线 --output 文件.kml [选项] 文件.dxf

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
)";

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
    std::fprintf(stderr, "keldarn-cli %s：警告：%s\n", command, text.c_str());
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
        throw UsageError("没有给出要转换的 KML/KMZ 文件或文件夹");
    std::vector<fs::path> inputs;
    for (const std::string& argument : arguments) {
        const fs::path path(argument);
        if (!fs::is_directory(path)) {
            if (!fs::exists(path))
                throw UsageError("找不到输入文件 " + argument);
            inputs.push_back(path);
            continue;
        }
        std::vector<fs::path> found;
        try {
            for (const fs::directory_entry& entry : fs::directory_iterator(path))
                if (IsKmlName(entry.path()) && entry.is_regular_file())
                    found.push_back(entry.path());
        } catch (const fs::filesystem_error& error) {
            throw RunError("无法读取文件夹 " + argument + "：" +
                           fileio::DescribeSystemError(error.code().value()));
        }
        if (found.empty())
            throw UsageError("文件夹 " + argument + " 中没有 .kml 或 .kmz 文件");
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
        throw UsageError("--output 与 --output-dir 只能给出一个");
    if (output) {
        if (output->empty())
            throw UsageError("--output 的文件名是空的");
        if (inputs.size() != 1)
            throw UsageError("有 " + std::to_string(inputs.size()) +
                             " 个输入文件，请用 --output-dir 给出输出文件夹");
        return {fs::path(*output)};
    }
    if (!outputDir || outputDir->empty())
        throw UsageError("缺少 --output（输出文件）或 --output-dir（输出文件夹）");
    std::vector<fs::path> targets;
    std::set<fs::path> taken;
    for (const fs::path& input : inputs) {
        const fs::path target = fs::path(*outputDir) / fs::path(input.filename()).replace_extension(".dxf");
        if (!taken.insert(target).second)
            throw UsageError("有两个输入都会写成 " + target.string() + "，请分开转换");
        targets.push_back(target);
    }
    return targets;
}

// The window's warning for a file with nothing to draw: what the file held instead.
std::string NothingDrawnMessage(const cad::KmlDrawSummary& summary)
{
    std::string found;
    const auto count = [&found](std::size_t n, const char* what) {
        if (n > 0)
            found += (found.empty() ? "" : "、") + std::to_string(n) + " 个" + what;
    };
    count(summary.placemarks, "地标（Placemark）");
    count(summary.models, "三维模型（Model）");
    count(summary.overlays, "图片叠加层（Overlay）");
    return found.empty() ? "KML文件中没有可绘制的点或线，也没有地标（Placemark）。"
                         : "KML文件中没有可绘制的点或线（文件中有：" + found + "）。";
}

void ConvertKmlFile(const fs::path& input, const fs::path& target, const SurveyFrame& frame,
                    std::optional<double> textHeight, bool quiet)
{
    // A new drawing of the drawing window, with the name texts as high as the window
    // makes them there.
    cad::DrawingDocument document;
    const double height = textHeight.value_or(3.0 * document.GetVariable("LtScale"));
    cad::KmlDrawSummary summary;
    try {
        summary = cad::DrawKmlFile(input, frame.Projection(), frame.transform, height, document.ModelSpace());
    } catch (const cad::KmlError& error) {
        throw InputError(error.what());
    } catch (const cad::AcadError& error) {
        throw InputError(input.string() + "：" + error.what());
    }
    if (summary.outsideLinks > 0)
        Warn("kml2dxf", input.string() + "：有 " + std::to_string(summary.outsideLinks) +
                            " 个网络链接（NetworkLink）指向文件以外的地址，没有读取：" +
                            summary.firstOutsideLink);
    if (summary.points + summary.polylines == 0)
        throw InputError(input.string() + "：" + NothingDrawnMessage(summary) + "没有写出文件。");
    for (const std::string& line : cad::UnsavedContentLines(document.Model()))
        Warn("kml2dxf", target.string() + " 不能保存图形中的以下内容：" + line);
    try {
        cad::SaveDxfFile(document.Model(), QtPath(target));
    } catch (const cad::DxfError& error) {
        throw RunError(error.what());
    }
    if (!quiet)
        std::fprintf(stderr, "%s → %s：点 %zu 个，多段线 %zu 条\n", input.string().c_str(),
                     target.string().c_str(), summary.points, summary.polylines);
}

int Kml2Dxf(const ParsedOptions& options)
{
    const SurveyFrame frame = SurveyFrameFromOptions(options);
    const auto textHeight = options.Number("text-height");
    if (textHeight && !(std::isfinite(*textHeight) && *textHeight > 0.0))
        throw UsageError("--text-height 应大于 0");
    const std::vector<fs::path> inputs = KmlInputs(options.Positional());
    const std::vector<fs::path> targets = DxfTargets(options, inputs);
    if (const auto outputDir = options.Value("output-dir")) {
        std::error_code error;
        fs::create_directories(*outputDir, error);
        if (error || !fs::is_directory(*outputDir))
            throw RunError("无法创建输出文件夹 " + *outputDir + "：" +
                           fileio::DescribeSystemError(error ? error.value() : ENOTDIR));
    }
    for (std::size_t k = 0; k < inputs.size(); ++k)
        ConvertKmlFile(inputs[k], targets[k], frame, textHeight, options.Has("quiet"));
    return kExitOk;
}

int Dxf2Kml(const ParsedOptions& options)
{
    const SurveyFrame frame = SurveyFrameFromOptions(options);
    if (options.Positional().size() != 1)
        throw UsageError(options.Positional().empty() ? "没有给出要转换的 DXF 文件"
                                                      : "一次只能转换一个 DXF 文件");
    const std::string& input = options.Positional().front();
    const auto output = options.Value("output");
    if (!output || output->empty())
        throw UsageError("缺少 --output（输出的 KML 文件）");

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
        throw InputError(input + "：图形中没有单行文字或轻量多段线，没有写出文件。");
    cad::KmlWriteResult result;
    try {
        result = cad::WriteKmlFromSelection(selection, frame.Projection(), frame.transform, *output);
    } catch (const cad::KmlError& error) {
        throw InputError(input + "：" + error.what());
    } catch (const cad::AcadError& error) {
        throw InputError(input + "：" + error.what());
    } catch (const fileio::FileWriteError& error) {
        throw RunError(error.what());
    }
    if (result.leftOut > 0)
        Warn("dxf2kml", "有" + std::to_string(result.leftOut) +
                            "个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），没有写入KML文件。");
    if (!options.Has("quiet"))
        std::fprintf(stderr, "%s → %s：地标 %zu 个\n", input.c_str(), output->c_str(), result.written);
    return kExitOk;
}

}  // namespace

int RunKml2Dxf(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kKml2DxfOptions, kKml2DxfHelp, Kml2Dxf);
}

int RunDxf2Kml(const std::vector<std::string>& arguments)
{
    return RunSubcommand(arguments, kDxf2KmlOptions, kDxf2KmlHelp, Dxf2Kml);
}

}  // namespace keldarn::cli
