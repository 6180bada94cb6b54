// What the surveyor makes from the terrain: sampling inside a boundary on the survey grid,
// profiles along a route, contours and elevation points in the drawing. The long work runs
// as a SurveyTask off the GUI thread; the window shows its progress and Esc cancels it.

#include "app/main_window.h"

#include "app/map_trace.h"
#include "app/profile_window.h"
#include "app/run_heights.h"
#include "app/sampled_batches.h"
#include "app/survey_task.h"
#include "cad/drawing_document.h"
#include "cad/drawing_window.h"
#include "earth/terrain_application.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "kml/kml_error.h"
#include "kml/kml_shapes.h"
#include "ops/contours.h"
#include "ops/elevation_points.h"
#include "ops/kml_shapes.h"
#include "ops/profile.h"
#include "survey/boundary_sampling.h"
#include "survey/sample_plan.h"
#include "survey/survey_error.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QShortcut>
#include <QStringList>
#include <QTableView>
#include <QTimer>

namespace keldarn::app {

namespace {

std::string Utf8(const QLineEdit* field)
{
    return field->text().toStdString();
}

QString Fixed(double value, int decimals)
{
    return QString::fromStdString(geodesy::FormatFixed(value, decimals));
}

QString GridText(double metres)
{
    return QString::fromStdString(geodesy::FormatGridCoordinate(metres));
}

// The step of a terrain product (metres) as typed; a text that is not a number above zero
// is refused with the field's name (`what`, marked for translation in the context TFormMain).
double ReadStep(const QString& text, const char* what)
{
    const QString name = QCoreApplication::translate("TFormMain", what);
    double value = 0.0;
    try {
        value = geodesy::ParseNumber(text.toStdString());
    } catch (const std::exception&) {
        throw survey::SurveyInputError(
            QCoreApplication::translate("TFormMain", "%1“%2”不是数字。").arg(name, text).toStdString());
    }
    if (!(value > 0.0))
        throw survey::SurveyInputError(
            QCoreApplication::translate("TFormMain", "%1必须大于0。").arg(name).toStdString());
    return value;
}

constexpr const char* kViewSeesSkyForContours = QT_TRANSLATE_NOOP(
    "TFormMain",
    "地图窗的边缘对着天空，无法确定地图窗中的地面范围。请在“地图窗范围”页减小倾角(度)后再生成等高线。");

constexpr const char* kBusy = QT_TRANSLATE_NOOP("TFormMain", "正在进行地形计算，请等待结束或按Esc取消。");

}  // namespace

bool TFormMain::RefuseWhileSurveyTaskRuns()
{
    if (!surveyTask_)
        return false;
    StatusBar1->setText(surveyBusy_.isEmpty() ? QCoreApplication::translate("TFormMain", kBusy)
                                              : surveyBusy_);
    return true;
}

earth::TerrainApplication* TFormMain::TerrainViewer() const
{
    return dynamic_cast<earth::TerrainApplication*>(viewer_.get());
}

std::optional<TFormMain::ChosenShape> TFormMain::ChooseShape(ShapeSource source, bool area)
{
    switch (source) {
    case ShapeSource::KmlFile:
        return ChooseKmlShape(area);
    case ShapeSource::Drawing:
        return PickDrawingPolyline(area);
    case ShapeSource::Map:
        return TraceShapeOnMap(area);
    case ShapeSource::View:
        break;
    }
    return std::nullopt;
}

std::optional<TFormMain::ChosenShape> TFormMain::ChooseKmlShape(bool area)
{
    OpenDialog1.title = area ? tr("打开含区域边界（多边形）的KML文件") : tr("打开含路线的KML文件");
    OpenDialog1.filter =
        QStringLiteral("GoogleEarth KML files (*.KML *.KMZ)|*.KML;*.KMZ|All files (*.*)|*.*");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (path.isEmpty())
        return std::nullopt;
    const std::vector<kml::KmlShape> shapes = ops::KmlShapesOfKind(path.toStdString(), area, KmlLimits());
    std::size_t chosen = 0;
    if (shapes.size() > 1) {
        QStringList items;
        for (std::size_t k = 0; k < shapes.size(); ++k)
            items << QString::number(k + 1) + QStringLiteral(". ") +
                         QString::fromStdString(kml::DescribeKmlShape(shapes[k]));
        const int index = env_.dialogs->ChooseItem(
            this, windowTitle(),
            area ? tr("文件中有多个多边形，请选择区域边界：") : tr("文件中有多条路径，请选择路线："), items);
        if (index < 0)
            return std::nullopt;
        chosen = static_cast<std::size_t>(index);
    }
    ChosenShape shape;
    shape.name = QString::fromStdString(ops::ShapeName(shapes[chosen], path.toStdString()));
    shape.rings = shapes[chosen].rings;
    return shape;
}

std::optional<TFormMain::ChosenShape> TFormMain::TraceShapeOnMap(bool area)
{
    earth::TerrainApplication* viewer = TerrainViewer();
    if (viewer == nullptr)
        return std::nullopt;
    StatusBar1->setText(area ? tr("在地图上左键点选边界顶点，右键或回车结束，Esc取消")
                             : tr("在地图上左键点选路线顶点，右键或回车结束，Esc取消"));
    MapTrace trace(*viewer, [this, area](const MapTrace::Vertices& vertices) {
        traceLayer_.reset();
        if (!vertices.empty()) {
            auto layer = std::make_shared<earth::MapLayer>();
            layer->colour = QColor(0, 255, 255);
            layer->lines.push_back({vertices, area});
            for (const geodesy::GeoPoint& vertex : vertices)
                layer->markers.push_back({vertex.latDeg, vertex.lonDeg, QString(), false});
            traceLayer_ = std::move(layer);
        }
        ShowMapLayers();
    });
    const auto vertices = trace.Run();
    StatusBar1->clear();
    if (!vertices)
        return std::nullopt;
    ChosenShape shape;
    // The name goes into the point table with a profile's rows: it stays as written, the same
    // in either interface language (windows show it translated, see ProfileWindow).
    shape.name = QString::fromUtf8(area ? kPickedAreaName : kPickedRouteName);
    shape.rings.push_back(*vertices);
    return shape;
}

void TFormMain::StartSurveyTask(SurveyTask::Work work, std::function<void(std::exception_ptr, bool)> done,
                                const QString& status, const QString& busy)
{
    StatusBar1->setText(status);
    surveyBusy_ = busy;
    SetProgress(1);
    surveyTask_ = std::make_unique<SurveyTask>(std::move(work));
    surveyClock_.start();
    UpdateEscape();
    connect(surveyTask_.get(), &SurveyTask::finished, this,
            [this, done = std::move(done)](std::exception_ptr error, bool cancelled) {
                surveyProgressTimer_->stop();
                // The task goes once this slot has returned; nothing of it is used below.
                surveyTask_.release()->deleteLater();
                UpdateEscape();
                SetProgress(0);
                StatusBar1->clear();
                RunCommand([&] {
                    done(error, cancelled);
                    if (error)
                        std::rethrow_exception(error);
                });
                OpenWaitingFiles();
            });
    surveyProgressTimer_->start();
}

void TFormMain::ShowSurveyProgress()
{
    if (!surveyTask_)
        return;
    ProgressBar1->setValue(std::max(1, static_cast<int>(surveyTask_->Progress().Fraction() * 100.0)));
    if (sampledBatches_)
        AppendSampledBatches();
}

void TFormMain::AppendSampledBatches()
{
    int nextRow = pointTable_->RowCount();
    bool appended = false;
    for (std::vector<points::RowCells>& batch : sampledBatches_->TakeAll()) {
        // Named by their row, as the grid sampling names its points.
        for (points::RowCells& row : batch)
            row[points::kNameColumn] = QString::number(nextRow++);
        pointTable_->AppendRows(batch);
        appended = true;
    }
    if (!appended)
        return;
    pointTable_->SetHeaderFixed(true);
    UpdateMapPoints();
    StringGrid1->scrollToBottom();
}

std::optional<TFormMain::ProductStart>
TFormMain::BeginTerrainProduct(TerrainProduct product, TerrainProductChoice& remembered, const char* stepName)
{
    if (RefuseWhileSurveyTaskRuns() || !ViewerPresent())
        return std::nullopt;
    earth::TerrainApplication* viewer = TerrainViewer();
    if (viewer == nullptr)
        return std::nullopt;
    const double L0 = geodesy::ReadCentralMeridian(Utf8(EditLL));
    static_cast<void>(CurrentProjection());  // a national system that does not fit L0 is said now
    // Contours go into the drawing: without one open the user is told before anything else.
    if (product == TerrainProduct::Contours && DrawingForProducts() == nullptr)
        return std::nullopt;
    const auto choice = env_.dialogs->ChooseTerrainProduct(this, product, remembered);
    if (!choice)
        return std::nullopt;
    remembered = *choice;
    return ProductStart{viewer, L0, *choice, ReadStep(choice->stepText, stepName)};
}

void TFormMain::MBoundarySampleClick()
{
    const auto start = BeginTerrainProduct(TerrainProduct::BoundarySampling, boundaryChoice_,
                                           QT_TRANSLATE_NOOP("TFormMain", "格网间距"));
    if (!start)
        return;
    earth::TerrainApplication* viewer = start->viewer;
    const double L0 = start->L0;
    const double spacingM = start->stepM;
    const auto shape = ChooseShape(start->choice.source, true);
    if (!shape)
        return;
    survey::CheckBoundary(shape->rings);
    const survey::SurveyFrame frame{L0, CurrentTransform(), projection_};
    auto plan = std::make_shared<const survey::SamplePlan>(
        survey::SamplePlan::ForGeoRings(shape->rings, spacingM, frame));
    survey::CheckPlanSize(*plan);

    const RunHeights heights = HeightsForRun(*viewer);
    const std::vector<geodesy::GeoPoint> probes = survey::BoundaryProbes(shape->rings);
    std::vector<std::optional<double>> found(probes.size());
    heights.query(probes, found);
    if (std::any_of(found.begin(), found.end(), [](const auto& h) { return !h; }))
        throw survey::SurveyInputError(tr("区域边界有一部分在高程数据范围之外（或落在数据空洞上），没有采点。"
                                          "请把边界移到高程数据范围以内。")
                                           .toStdString());

    auto batches = std::make_shared<SampledBatches>();
    sampledBatches_ = batches;
    auto counts = std::make_shared<survey::BoundarySamplingCounts>();
    auto work = [plan, query = heights.query, batches, counts](survey::TaskProgress& progress) {
        const auto deliver = [&](std::vector<survey::SampledPoint>&& points) {
            std::vector<points::RowCells> rows(points.size());
            for (std::size_t k = 0; k < points.size(); ++k)
                rows[k] = {QString(), QString(), GridText(points[k].x), GridText(points[k].y),
                           GridText(points[k].h)};
            batches->Push(std::move(rows), progress);
        };
        *counts = survey::SampleInsideBoundary(*plan, query, deliver, &progress);
    };
    const int rowsBefore = pointTable_->DataRowCount();
    auto done = [this, counts, rowsBefore](std::exception_ptr error, bool cancelled) {
        AppendSampledBatches();
        sampledBatches_.reset();
        const int taken = pointTable_->DataRowCount() - rowsBefore;
        if (taken > 0)
            StringGrid1->setCurrentIndex(
                pointTable_->index(pointTable_->DataRowCount() - 1, points::kNameColumn));
        if (error)
            return;  // shown by the caller; the rows taken before stay
        if (cancelled) {
            StatusBar1->setText(tr("已取消区域采点，保留已采集的%1个点。").arg(taken));
            return;
        }
        QString text = tr("区域采点结束，共采集%1个点，用时%2秒")
                           .arg(taken)
                           .arg(Fixed(static_cast<double>(surveyClock_.elapsed()) / 1000.0, 1));
        if (taken == 0)
            text = tr("区域以内没有格网点（区域小于格网间距？），没有采点。");
        if (counts->skipped > 0)
            text += tr("\n有%1个点没有地形数据（数据空洞），未采集。").arg(counts->skipped);
        ShowInfo(text);
    };
    StartSurveyTask(std::move(work), std::move(done), tr("正在区域采点...按Esc取消"));
}

}  // namespace keldarn::app

namespace keldarn::app {

void TFormMain::MProfileClick()
{
    const auto start = BeginTerrainProduct(TerrainProduct::Profile, profileChoice_,
                                           QT_TRANSLATE_NOOP("TFormMain", "采样间距"));
    if (!start)
        return;
    earth::TerrainApplication* viewer = start->viewer;
    const double L0 = start->L0;
    const double intervalM = start->stepM;
    const auto shape = ChooseShape(start->choice.source, false);
    if (!shape)
        return;
    ops::ProfileRequest request;
    request.routeVertices = ops::RouteVertices(shape->rings.front());
    request.intervalM = intervalM;
    request.frame = survey::SurveyFrame(L0, CurrentTransform(), projection_);
    request.measure = start->choice.ellipsoidChainage ? survey::ChainageMeasure::Ellipsoid
                                                      : survey::ChainageMeasure::SurveyPlane;
    request.heights = HeightsForRun(*viewer).query;
    auto samples = std::make_shared<std::vector<survey::ProfileSample>>();
    auto work = [request, samples](survey::TaskProgress& progress) {
        *samples = ops::RunProfile(request, &progress).samples;
    };
    const QString routeName = shape->name;
    auto done = [this, samples, routeName](std::exception_ptr error, bool cancelled) {
        if (error)
            return;
        if (cancelled) {
            StatusBar1->setText(tr("已取消纵断面。"));
            return;
        }
        ShowProfile(routeName, std::move(*samples));
    };
    StartSurveyTask(std::move(work), std::move(done), tr("正在计算纵断面...按Esc取消"));
}

ProfileWindow* TFormMain::ShowProfile(const QString& routeName, std::vector<survey::ProfileSample> samples)
{
    auto* window = new ProfileWindow(*env_.dialogs, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->SetProfile(routeName, std::move(samples));
    connect(window, &ProfileWindow::addToTable, this,
            [this, window](const QString& name, double startChainageM) {
                RunCommand([&] { AppendProfileRows(window->Samples(), name, startChainageM); });
            });
    // Windows the user closed have deleted themselves; their guards are dropped.
    std::erase_if(profileWindows_, [](const QPointer<ProfileWindow>& shown) { return shown.isNull(); });
    profileWindows_.push_back(window);
    // Over the map, large enough for a route's detail.
    window->resize(std::min(1000, width()), std::min(560, height()));
    window->move(geometry().center() - window->rect().center());
    window->show();
    window->raise();
    return window;
}

std::vector<ProfileWindow*> TFormMain::ProfileWindows() const
{
    std::vector<ProfileWindow*> open;
    for (const QPointer<ProfileWindow>& window : profileWindows_)
        if (window)
            open.push_back(window);
    return open;
}

void TFormMain::AppendProfileRows(const std::vector<survey::ProfileSample>& samples, const QString& routeName,
                                  double startChainageM)
{
    const ops::ProfileTableRows rows =
        ops::ProfileRowsForTable(samples, routeName.toStdString(), startChainageM);
    pointTable_->AppendRows(rows.cells);
    if (!rows.cells.empty()) {
        pointTable_->SetHeaderFixed(true);
        StringGrid1->setCurrentIndex(
            pointTable_->index(pointTable_->DataRowCount() - 1, points::kNameColumn));
    }
    StatusBar1->setText(QString::fromStdString(ops::ProfileRowsSummary(rows)));
}

}  // namespace keldarn::app

namespace keldarn::app {

void TFormMain::MContoursClick()
{
    const auto start = BeginTerrainProduct(TerrainProduct::Contours, contourChoice_,
                                           QT_TRANSLATE_NOOP("TFormMain", "等高距"));
    if (!start)
        return;
    earth::TerrainApplication* viewer = start->viewer;
    const double L0 = start->L0;
    const double intervalM = start->stepM;
    const TerrainProductChoice& choice = start->choice;
    if (viewer->Source().path.empty())
        throw survey::SurveyInputError(
            tr("演示地形没有高程数据文件，不能生成等高线。请先在“设置”中打开地形数据文件、文件夹或网址。")
                .toStdString());
    ops::ContoursRequest request;
    request.terrainPath = viewer->Source().path;
    if (choice.source == ShapeSource::View) {
        const auto footprint = viewer->ViewFootprint();
        if (!footprint)
            throw survey::SurveyInputError(
                QCoreApplication::translate("TFormMain", kViewSeesSkyForContours).toStdString());
        request.area =
            ops::AreaOfBox(*footprint);
    } else {
        const auto shape = ChooseShape(choice.source, true);
        if (!shape)
            return;
        request.area = ops::AreaOfRings(shape->rings);
    }
    request.intervalM = intervalM;
    request.frame = survey::SurveyFrame(L0, CurrentTransform(), projection_);
    auto result = std::make_shared<ops::ContoursResult>();
    auto work = [request, result](survey::TaskProgress& progress) {
        *result = ops::RunContours(request, &progress);
    };
    auto done = [this, result](std::exception_ptr error, bool cancelled) {
        if (error)
            return;
        if (cancelled) {
            StatusBar1->setText(tr("已取消等高线。"));
            return;
        }
        DrawContoursIntoDrawing(*result);
    };
    StartSurveyTask(std::move(work), std::move(done), tr("正在生成等高线...按Esc取消"));
}

void TFormMain::DrawContoursIntoDrawing(const ops::ContoursResult& result)
{
    cad::DrawingWindow* window = DrawingForProducts();
    if (window == nullptr)
        return;
    if (result.lines.empty()) {
        ShowInfo(QString::fromStdString(ops::NoContoursMessage()));
        return;
    }
    cad::DrawingDocument& document = window->Document();
    ops::DrawContoursInto(document.Model(), result);
    document.ModelChanged();
    window->ZoomExtents();
    ShowInfo(QString::fromStdString(
        ops::ContoursSummary(result, static_cast<double>(surveyClock_.elapsed()) / 1000.0)));
    window->SetVisible(true);
}

void TFormMain::MElevationPointsClick()
{
    if (RefuseWhileSurveyTaskRuns())
        return;
    cad::DrawingWindow* window = DrawingForProducts();
    if (window == nullptr)
        return;
    const ops::ElevationPoints points = ops::ElevationPointsOf(*pointTable_);
    if (points.entries.empty()) {
        ShowInfo(QString::fromStdString(ops::NoElevationPointsMessage()));
        return;
    }
    cad::DrawingDocument& document = window->Document();
    ops::DrawElevationPointsInto(document.Model(), points);
    document.ModelChanged();
    window->ZoomExtents();
    ShowInfo(QString::fromStdString(ops::ElevationPointsSummary(points)));
    window->SetVisible(true);
}

}  // namespace keldarn::app
