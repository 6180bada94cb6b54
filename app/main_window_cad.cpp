// The two drawing conversions: KML file into the drawing window, and the texts and
// polylines picked in the drawing window out to a KML file.

#include "app/main_window.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "cad/kml_to_drawing.h"
#include "cad/kml_writer.h"
#include "geodesy/central_meridian.h"
#include "geodesy/four_param.h"
#include "geodesy/gauss_kruger.h"
#include "survey/survey_error.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace keldarn::app {

namespace {

constexpr const char* kCadNotOpen = QT_TRANSLATE_NOOP("TFormMain", "AutoCAD尚未打开！");

// The selection set exists only while the command runs: deleted on every path.
class SelectionSetGuard {
public:
    explicit SelectionSetGuard(cad::IAcadSelectionSet& set) : set_(set) {}
    ~SelectionSetGuard()
    {
        try {
            set_.Delete();
        } catch (...) {
            // The drawing window may already be gone; there is nothing left to delete.
        }
    }
    SelectionSetGuard(const SelectionSetGuard&) = delete;
    SelectionSetGuard& operator=(const SelectionSetGuard&) = delete;

private:
    cad::IAcadSelectionSet& set_;
};

// The selection filter "<or <and LWPolyline and> <and Text and> or>": single-line
// texts and lightweight polylines only (group code -4: a logical operator, 0: a type).
const std::vector<std::int16_t> kFilterTypes = {-4, -4, 0, -4, -4, 0, -4, -4};
const std::vector<std::string> kFilterData = {"<or", "<and", "LWPolyline", "and>", "<and", "Text", "and>", "or>"};

}  // namespace

void TFormMain::MNewDrawingClick()
{
    drawingHost_->OpenNewDrawing(this);
}

void TFormMain::MOpenDxfClick()
{
    OpenDialog1.title = tr("打开DXF图形");
    OpenDialog1.filter = tr("DXF图形文件 (*.dxf)|*.dxf|所有文件 (*.*)|*.*");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (!path.isEmpty())
        drawingHost_->OpenDxf(path, this);
}

void TFormMain::MShowDrawingClick()
{
    if (cad::IAcadApplication* drawing = env_.attachCad())
        drawing->SetVisible(true);
    else
        drawingHost_->OpenNewDrawing(this);
}

kml::KmlReadLimits TFormMain::KmlLimits() const
{
    return {static_cast<std::uint64_t>(settings::ReadKmzEntryLimit(env_.settingsPath).megabytes)};
}

cad::IAcadApplication* TFormMain::AttachCad()
{
    cad::IAcadApplication* application = env_.attachCad ? env_.attachCad() : nullptr;
    if (application == nullptr)
        ShowInfo(QCoreApplication::translate("TFormMain", kCadNotOpen));
    return application;
}

void TFormMain::MKMLtoCADClick()
{
    const double L0 = geodesy::ReadCentralMeridian(EditLL->text().toStdString());
    cad::IAcadApplication* application = AttachCad();
    if (application == nullptr)
        return;
    application->SetVisible(true);
    cad::IAcadDocument& document = application->ActiveDocument();
    cad::IAcadModelSpace& modelSpace = document.ModelSpace();
    const double textHeight = 3.0 * document.GetVariable("LtScale");

    OpenDialog1.title = tr("打开KML文件");
    OpenDialog1.filter = QStringLiteral("GoogleEarth KML files (*.KML *.KMZ)|*.KML;*.KMZ|Text files (*.txt)|*.txt|"
                                        "All files (*.*)|*.*");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (path.isEmpty())
        return;
    const cad::KmlDrawSummary summary =
        cad::DrawKmlFile(path.toStdString(), survey::SurveyFrame(L0, CurrentTransform(), projection_),
                         textHeight, modelSpace, KmlLimits());
    const bool drawn = summary.points + summary.polylines > 0;
    QString message = tr("绘图结束，请切换到CAD窗口查看结果。");
    if (!drawn) {
        // An empty drawing is no success: say what the file held instead.
        QString found;
        const auto count = [&found](std::size_t n, const QString& what) {
            if (n > 0)
                found += (found.isEmpty() ? QString() : tr("、")) + what.arg(QString::number(n));
        };
        count(summary.placemarks, tr("%1 个地标（Placemark）"));
        count(summary.models, tr("%1 个三维模型（Model）"));
        count(summary.overlays, tr("%1 个图片叠加层（Overlay）"));
        message = found.isEmpty() ? tr("KML文件中没有可绘制的点或线，也没有地标（Placemark）。")
                                  : tr("KML文件中没有可绘制的点或线（文件中有：%1）。").arg(found);
    }
    if (summary.outsideLinks > 0)
        message +=
            tr("\n有 %1 个网络链接（NetworkLink）指向文件以外的地址，没有读取：%2")
                .arg(QString::number(summary.outsideLinks), QString::fromStdString(summary.firstOutsideLink));
    env_.dialogs->ShowMessage(this, message, windowTitle(),
                              drawn ? MessageIcon::Information : MessageIcon::Warning);
    if (!drawn)
        return;
    // The message was shown over the main window; the drawing comes to the front after it.
    if (cad::IAcadApplication* drawing = env_.attachCad())
        drawing->SetVisible(true);
}

void TFormMain::MCADtoKMLClick()
{
    const double L0 = geodesy::ReadCentralMeridian(EditLL->text().toStdString());
    cad::IAcadApplication* application = AttachCad();
    if (application == nullptr)
        return;
    application->SetVisible(true);
    application->ActiveDocument();

    // Every command sets the shared save dialog to what it needs.
    SaveDialog1.title = tr("KML文件另存为...");
    SaveDialog1.defaultSuffix = QStringLiteral("KML");
    SaveDialog1.filter = QStringLiteral("GoogleEarth KML files (*.KML)|*.KML");
    SaveDialog1.fileName = QStringLiteral("CoordInfo");
    const QString path = env_.dialogs->GetSaveFileName(this, SaveDialog1);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) && !env_.dialogs->AskYesNo(this, tr("文件已存在,覆盖吗?"), windowTitle()))
        return;

    application->SetVisible(true);
    cad::KmlWriteResult result;
    {
        // The selection set, which keeps the drawing window's own commands locked, is gone
        // before the message shows.
        cad::IAcadDocument& document = application->ActiveDocument();
        cad::IAcadSelectionSet& selection = document.SelectionSets().Add("ssObj");
        SelectionSetGuard guard(selection);
        selection.SelectOnScreen(kFilterTypes, kFilterData);
        if (selection.Count() == 0)
            return;
        // Throws, writing no file, when every entity was left out.
        result = cad::WriteKmlFromSelection(
            selection, survey::SurveyFrame(L0, CurrentTransform(), projection_), path.toStdString());
    }
    QString message = tr("图形转换完毕，可在GoogleEarth中打开KML文件以查看结果。");
    if (result.leftOut > 0)
        message += tr("\n有%1个对象的坐标远在投影带之外（超出±1e9或纬度超过90°），没有写入KML文件。")
                       .arg(result.leftOut);
    env_.dialogs->ShowMessage(this, message, windowTitle(),
                              result.leftOut > 0 ? MessageIcon::Warning : MessageIcon::Information);
}

std::optional<TFormMain::ChosenShape> TFormMain::PickDrawingPolyline(bool closedOnly)
{
    const double L0 = geodesy::ReadCentralMeridian(EditLL->text().toStdString());
    cad::IAcadApplication* application = AttachCad();
    if (application == nullptr)
        return std::nullopt;
    application->SetVisible(true);
    StatusBar1->setText(closedOnly ? tr("请在CAD图形窗口中选取一条闭合多段线，回车结束。")
                                   : tr("请在CAD图形窗口中选取一条多段线，回车结束。"));
    std::vector<double> xy;
    bool closed = false;
    int polylines = 0;
    {
        cad::IAcadSelectionSet& selection = application->ActiveDocument().SelectionSets().Add("ssRoute");
        SelectionSetGuard guard(selection);
        selection.SelectOnScreen(kFilterTypes, kFilterData);
        for (int i = 0; i < selection.Count(); ++i) {
            const cad::IAcadEntity& entity = selection.Item(i);
            if (entity.ObjectName() != "AcDbPolyline")
                continue;
            if (++polylines == 1) {
                xy = entity.Coordinates();
                closed = entity.closed();
            }
        }
    }
    StatusBar1->clear();
    if (polylines == 0)
        return std::nullopt;
    if (polylines > 1)
        throw survey::SurveyInputError(tr("选取了%1条多段线，请只选取一条。").arg(polylines).toStdString());
    const std::size_t drawn = xy.size() / 2;
    // A polyline drawn back onto its start is closed, flagged or not.
    if (drawn >= 4 && xy[0] == xy[2 * drawn - 2] && xy[1] == xy[2 * drawn - 1]) {
        xy.resize(xy.size() - 2);
        closed = true;
    }
    if (closedOnly && !closed)
        throw survey::SurveyInputError(
            tr("选取的多段线不闭合，不能作为区域边界。请选取闭合多段线。").toStdString());
    const survey::SurveyFrame frame(L0, CurrentTransform(), projection_);
    ChosenShape shape;
    // The name goes into the point table with a profile's rows: it stays as written.
    shape.name = QStringLiteral("CAD多段线");
    auto& ring = shape.rings.emplace_back();
    // The polyline is two-dimensional: its vertices go through the datum shift at height 0.
    const auto addVertex = [&](double drawingX, double drawingY) {
        ring.push_back(frame.ToGeographic(survey::GridOfDrawing(drawingX, drawingY)));
    };
    // A boundary is used with edges straight in latitude and longitude, which bow away from
    // the drawing's straight edges by about a metre over 10 km: each edge is cut into pieces
    // of at most 100 m, which bow by less than a millimetre. A route keeps its vertices (the
    // profile marks them); between them it follows the geodesic.
    const std::size_t n = xy.size() / 2;
    const std::size_t edges = closed ? n : n - 1;
    for (std::size_t k = 0; k < n; ++k) {
        addVertex(xy[2 * k], xy[2 * k + 1]);
        if (!closedOnly || k >= edges)
            continue;
        const std::size_t next = (k + 1) % n;
        const double dx = xy[2 * next] - xy[2 * k], dy = xy[2 * next + 1] - xy[2 * k + 1];
        const auto pieces = static_cast<std::size_t>(std::min(10000.0, std::ceil(std::hypot(dx, dy) / 100.0)));
        for (std::size_t p = 1; p < pieces; ++p) {
            const double f = static_cast<double>(p) / static_cast<double>(pieces);
            addVertex(xy[2 * k] + f * dx, xy[2 * k + 1] + f * dy);
        }
    }
    return shape;
}

cad::DrawingWindow* TFormMain::DrawingForProducts()
{
    if (AttachCad() == nullptr)
        return nullptr;
    cad::DrawingWindow* window = drawingHost_->Window();
    if (window == nullptr)
        ShowInfo(QCoreApplication::translate("TFormMain", kCadNotOpen));
    return window;
}

}  // namespace keldarn::app
