// Point capture from the map window: the single pick, the measure of the view and the
// automatic grid sampling.

#include "app/main_window.h"
#include "app/sampled_batches.h"
#include "ops/view_grid_sampling.h"
#include "earth/grid_sampling.h"
#include "earth/screen_coords.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "points/point_table_model.h"
#include "survey/survey_frame.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTableView>

#include <cmath>

namespace keldarn::app {

namespace {

std::string Utf8(const QLineEdit* field) { return field->text().toStdString(); }

QString Fixed(double value, int decimals) { return QString::fromStdString(geodesy::FormatFixed(value, decimals)); }
QString GridText(double metres)
{
    return QString::fromStdString(geodesy::FormatGridCoordinate(metres));
}

constexpr const char* kViewSeesSky =
    QT_TRANSLATE_NOOP("TFormMain", "地图窗的边缘对着天空，无法测量地图窗范围。"
                                   "请在“地图窗范围”页减小倾角(度)，使整个地图窗都能看到地面，再刷新。");

}  // namespace

void TFormMain::Button6Click()
{
    if (ViewerPresent() && geodesy::TrimBlanks(Utf8(EditLL)).empty())
        throw geodesy::CentralMeridianNotSetError();
    // Pick mode is the mouse grab itself: the next press anywhere comes to this window.
    pickMode_ = true;
    grabMouse();
}

void TFormMain::mousePressEvent(QMouseEvent* event)
{
    if (pickMode_) {
        FormMouseDown(event->button(), event->modifiers(), event->position().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TFormMain::FormMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint& pos)
{
    // The press ends pick mode on every path.
    pickMode_ = false;
    releaseMouse();
    RunCommand([this, pos] { PickAt(pos); });
}

void TFormMain::PickAt(const QPoint& pos)
{
    const double L0 = geodesy::ReadCentralMeridian(Utf8(EditLL));
    if (!ViewerPresent())
        return;
    // Only a press over the viewer's render surface picks.
    QWidget* render = viewer_->GetRenderHwnd();
    const QPoint global = mapToGlobal(pos);
    QWidget* under = QApplication::widgetAt(global);
    if (render == nullptr || under == nullptr || (under != render && !render->isAncestorOf(under)))
        return;
    const QRect frame = render->frameGeometry();
    const QPoint local = render->mapFromGlobal(global);
    const earth::ScreenPoint s = earth::NormalizedFromPixel(local.x(), local.y(), frame.width(), frame.height());
    const earth::IPointOnTerrainGE p = viewer_->GetPointOnTerrainFromScreenCoords(s.sx, s.sy);
    const geodesy::GridPoint grid = survey::SurveyFrame(L0, CurrentTransform(), projection_)
                                        .ToGrid({.latDeg = p.Latitude, .lonDeg = p.Longitude}, p.Altitude);
    EditX->setText(GridText(grid.x));
    EditY->setText(GridText(grid.y));
    EditH->setText(GridText(grid.h));
}

void TFormMain::Mdata1Click()
{
    if (ViewerPresent()) {
        const QRect frame = viewer_->GetRenderHwnd()->frameGeometry();
        // The view's extent exists wherever the probes see ground, on the terrain or on
        // the level of its mean height beyond it; only a probe into the sky cannot measure.
        const auto ask = [this](double sx, double sy) {
            try {
                const earth::IPointOnTerrainGE p = viewer_->GetGroundFromScreenCoords(sx, sy);
                return geodesy::GeoPoint{.latDeg = p.Latitude, .lonDeg = p.Longitude};
            } catch (const earth::NoTerrainError&) {
                throw earth::EarthError(QCoreApplication::translate("TFormMain", kViewSeesSky).toStdString());
            }
        };
        const geodesy::GeoPoint left = ask(-1, 0), right = ask(1, 0), bottom = ask(0, -1), top = ask(0, 1),
                                centre = ask(0, 0);
        StatusBar1->setText(
            tr("地图窗中心子午线=%1度/中央子午线=%2度").arg(Fixed(centre.lonDeg, 4), EditLL->text()));
        const earth::ViewSpans spans = earth::MeasureViewSpans(left, right, bottom, top, centre.lonDeg);
        EditDx->setText(Fixed(spans.spanVM, 0));
        EditDy->setText(Fixed(spans.spanWM, 0));
        EditHpi->setText(Fixed(spans.spanVM / frame.height(), 1));
        EditWpi->setText(Fixed(spans.spanWM / frame.width(), 1));
    }
    ShowPage(PageAuto);
    // The estimate uses the spans in whole metres, as the fields show them.
    const double spanWM = geodesy::ParseNumber(Utf8(EditDy));
    const double spanVM = geodesy::ParseNumber(Utf8(EditDx));
    const double spacingM = geodesy::ParseNumber(Utf8(EditPd));
    EditPn->setText(QString::number(earth::EstimatePointCount(spanVM, spanWM, spacingM)));
}

void TFormMain::Button5Click()
{
    if (RefuseWhileSurveyTaskRuns() || !ViewerPresent())
        return;
    const double L0 = geodesy::ReadCentralMeridian(Utf8(EditLL));
    const double spanVM = geodesy::ParseNumber(Utf8(EditDx));
    const double spanWM = geodesy::ParseNumber(Utf8(EditDy));
    const double spacingM = geodesy::ParseNumber(Utf8(EditPd));
    const earth::SamplingGrid grid = earth::MakeSamplingGrid(spanVM, spanWM, spacingM);

    // The run picks on the view as it is now, on a worker thread: the map may move meanwhile.
    ops::ViewGridRequest request;
    request.rows = grid.nV + 1;
    request.columns = grid.nW + 1;
    request.pick = [grid, picks = viewer_->PicksForRun()](std::int64_t row,
                                                          std::int64_t column) -> std::optional<ops::PickedGround> {
        const earth::ScreenPoint s = grid.PointAt(row, column);
        const auto p = picks(s.sx, s.sy);
        if (!p)
            return std::nullopt;
        return ops::PickedGround{{.latDeg = p->Latitude, .lonDeg = p->Longitude}, p->Altitude};
    };
    request.frame = survey::SurveyFrame(L0, CurrentTransform(), projection_);

    auto batches = std::make_shared<SampledBatches>();
    sampledBatches_ = batches;
    auto counts = std::make_shared<ops::ViewGridCounts>();
    auto work = [request, batches, counts](survey::TaskProgress& progress) {
        *counts = ops::SampleViewGrid(
            request, [&](std::vector<points::RowCells>&& rows) { batches->Push(std::move(rows), progress); },
            progress);
    };
    const int rowsBefore = pointTable_->DataRowCount();
    auto done = [this, counts, rowsBefore](std::exception_ptr error, bool cancelled) {
        AppendSampledBatches();
        sampledBatches_.reset();
        // Rows taken before a failure or a cancel stay in the table.
        const int taken = pointTable_->DataRowCount() - rowsBefore;
        pointTable_->SetHeaderFixed(true);
        if (taken > 0)
            StringGrid1->setCurrentIndex(pointTable_->index(pointTable_->DataRowCount() - 1, points::kNameColumn));
        if (error)
            return;  // shown by the caller
        if (cancelled) {
            StatusBar1->setText(tr("已取消自动采点，保留已采集的%1个点。").arg(taken));
            return;
        }
        QString text =
            tr("数据采集结束，用时%1秒").arg(Fixed(static_cast<double>(surveyClock_.elapsed()) / 1000.0, 1));
        StatusBar1->setText(text);
        if (counts->skipped > 0)
            text += QLatin1Char('\n') +
                    tr("有%1个点没有地形数据（天空、数据范围之外或数据空洞），未采集。").arg(counts->skipped);
        ShowInfo(text);
        StatusBar1->clear();
    };
    StartSurveyTask(std::move(work), std::move(done), tr("正在采集数据...请不要对地图窗作任何操作！"));
}

}  // namespace keldarn::app
