// The two drawing conversions: KML file into the drawing window, and the texts and
// polylines picked in the drawing window out to a KML file.

#include "app/main_window.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "cad/terrain_drawing.h"
#include "geodesy/central_meridian.h"
#include "geodesy/four_param.h"
#include "geodesy/gauss_kruger.h"
#include "ops/drawing_to_kml.h"
#include "ops/kml_to_drawing.h"
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
    const double textHeight = cad::ProgramTextHeight(document.GetVariable("LtScale"));

    OpenDialog1.title = tr("打开KML文件");
    OpenDialog1.filter = QStringLiteral("GoogleEarth KML files (*.KML *.KMZ)|*.KML;*.KMZ|Text files (*.txt)|*.txt|"
                                        "All files (*.*)|*.*");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (path.isEmpty())
        return;
    const ops::KmlToDrawingResult result = ops::DrawKmlIntoDrawing(
        {path.toStdString(), survey::SurveyFrame{L0, CurrentTransform(), projection_}, textHeight, KmlLimits()},
        modelSpace);
    const bool drawn = result.Drawn();
    // An empty drawing is no success: the message says what the file held instead.
    QString message = drawn ? tr("绘图结束，请切换到CAD窗口查看结果。") : QString::fromStdString(result.NothingDrawn());
    if (const std::string links = result.LinksNotFollowed(); !links.empty())
        message += QLatin1Char('\n') + QString::fromStdString(links);
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
    // Throws, writing no file, when every entity was left out.
    const std::optional<cad::KmlWriteResult> result = ops::WritePickedAsKml(
        application->ActiveDocument(), survey::SurveyFrame{L0, CurrentTransform(), projection_}, path.toStdString());
    if (!result)
        return;
    QString message = tr("图形转换完毕，可在GoogleEarth中打开KML文件以查看结果。");
    if (const std::string leftOut = ops::LeftOutOfKml(*result); !leftOut.empty())
        message += QLatin1Char('\n') + QString::fromStdString(leftOut);
    env_.dialogs->ShowMessage(this, message, windowTitle(),
                              result->leftOut > 0 ? MessageIcon::Warning : MessageIcon::Information);
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
    ops::WithPickedTextsAndPolylines(
        application->ActiveDocument(), "ssRoute", [&](const cad::IAcadSelectionSet& selection) {
            for (int i = 0; i < selection.Count(); ++i) {
                const cad::IAcadEntity& entity = selection.Item(i);
                if (entity.ObjectName() != "AcDbPolyline")
                    continue;
                if (++polylines == 1) {
                    xy = entity.Coordinates();
                    closed = entity.closed();
                }
            }
        });
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
