// Point capture from the map window: the single pick, the measure of the view and the
// automatic grid sampling.

#include "app/main_window.h"
#include "earth/grid_sampling.h"
#include "earth/screen_coords.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "geodesy/survey_conversion.h"
#include "points/point_table_model.h"
#include "survey/survey_frame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
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

// While a sampling run lasts the window repaints but takes no input: every key and
// mouse event is swallowed, and Esc asks the run to stop.
class SamplingInputGuard : public QObject {
public:
    SamplingInputGuard() { qApp->installEventFilter(this); }
    ~SamplingInputGuard() override { qApp->removeEventFilter(this); }
    bool cancelled() const { return cancelled_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                cancelled_ = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ShortcutOverride:
        case QEvent::Close:
            return true;
        default:
            return false;
        }
    }

private:
    bool cancelled_ = false;
};

// Rows are handed to the table (and its journal) in batches, and the window repaints
// about ten times a second: a run of 100,000 points neither notifies the views 100,000
// times nor spends its time painting.
constexpr std::size_t kSampleBatchRows = 8192;
constexpr qint64 kSampleRepaintMs = 100;

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

void TFormMain::FlushSampledRows(std::vector<points::RowCells>& rows, int percent)
{
    pointTable_->AppendRows(rows);
    rows.clear();
    UpdateMapPoints();  // the points appear on the map as they are taken
    StringGrid1->scrollToBottom();
    ProgressBar1->setValue(percent);
    // Paint what changed and look for Esc; the guard keeps every other input away.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TFormMain::SamplingOutcome TFormMain::SampleGrid(const earth::SamplingGrid& grid, double L0,
                                                 const geodesy::FourParamCoefficients& transform)
{
    const survey::SurveyFrame frame(L0, transform, projection_);
    const double step = 100.0 / static_cast<double>(grid.PointCount());
    SamplingOutcome outcome;
    int nextRow = pointTable_->RowCount();
    std::vector<points::RowCells> batch;
    batch.reserve(kSampleBatchRows);
    // The guard lives exactly as long as the loop: whatever comes after the run (its
    // message, an error's message) takes input again.
    SamplingInputGuard guard;
    QElapsedTimer sinceFlush;
    sinceFlush.start();
    try {
        for (std::int64_t i = 0; i <= grid.nV && !guard.cancelled(); ++i) {
            for (std::int64_t j = 0; j <= grid.nW && !guard.cancelled(); ++j) {
                const earth::ScreenPoint s = grid.PointAt(i, j);
                const int percent =
                    static_cast<int>(std::trunc(static_cast<double>(outcome.taken + outcome.skipped) * step));
                earth::IPointOnTerrainGE p;
                try {
                    p = viewer_->GetPointOnTerrainFromScreenCoords(s.sx, s.sy);
                } catch (const earth::NoTerrainError&) {
                    ++outcome.skipped;
                    continue;
                }
                const geodesy::GridPoint g =
                    frame.ToGrid({.latDeg = p.Latitude, .lonDeg = p.Longitude}, p.Altitude);
                batch.push_back(
                    {QString::number(nextRow++), QString(), GridText(g.x), GridText(g.y), GridText(g.h)});
                ++outcome.taken;
                if (batch.size() >= kSampleBatchRows || sinceFlush.elapsed() >= kSampleRepaintMs) {
                    FlushSampledRows(batch, percent);
                    sinceFlush.restart();
                }
            }
        }
        FlushSampledRows(batch, 100);
    } catch (...) {
        // Rows taken before the failure stay in the table.
        pointTable_->AppendRows(batch);
        if (outcome.taken > 0)
            pointTable_->SetHeaderFixed(true);
        throw;
    }
    outcome.cancelled = guard.cancelled();
    return outcome;
}

void TFormMain::Button5Click()
{
    if (!ViewerPresent())
        return;
    const double L0 = geodesy::ReadCentralMeridian(Utf8(EditLL));
    const double spanVM = geodesy::ParseNumber(Utf8(EditDx));
    const double spanWM = geodesy::ParseNumber(Utf8(EditDy));
    const double spacingM = geodesy::ParseNumber(Utf8(EditPd));
    const earth::SamplingGrid grid = earth::MakeSamplingGrid(spanVM, spanWM, spacingM);

    StatusBar1->setText(tr("正在采集数据...请不要对地图窗作任何操作！"));
    QElapsedTimer clock;
    clock.start();
    SetProgress(1);
    SamplingOutcome outcome;
    try {
        outcome = SampleGrid(grid, L0, CurrentTransform());
    } catch (...) {
        StatusBar1->clear();
        SetProgress(0);
        throw;
    }
    pointTable_->SetHeaderFixed(true);
    if (outcome.taken > 0)
        StringGrid1->setCurrentIndex(pointTable_->index(pointTable_->DataRowCount() - 1, points::kNameColumn));
    SetProgress(100);

    if (outcome.cancelled) {
        StatusBar1->setText(tr("已取消自动采点，保留已采集的%1个点。").arg(outcome.taken));
        SetProgress(0);
        return;
    }
    QString done = tr("数据采集结束，用时%1秒").arg(Fixed(static_cast<double>(clock.elapsed()) / 1000.0, 1));
    StatusBar1->setText(done);
    if (outcome.skipped > 0)
        done += QLatin1Char('\n') +
                tr("有%1个点没有地形数据（天空、数据范围之外或数据空洞），未采集。").arg(outcome.skipped);
    ShowInfo(done);
    StatusBar1->clear();
    SetProgress(0);
}

}  // namespace keldarn::app
