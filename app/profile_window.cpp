#include "app/profile_window.h"

#include "app/ui_scale.h"
#include "ops/profile_chart.h"

#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace keldarn::app {

namespace {

using survey::ProfileSample;

// Zooming in stops at a millimetre per pixel.
constexpr double kFinestMetresPerPx = 0.001;
constexpr double kZoomPerWheelNotch = 1.25;

}  // namespace

ProfileChart::ProfileChart(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(Scaled(320), Scaled(200));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProfileChart::SetSamples(std::vector<survey::ProfileSample> samples)
{
    samples_ = std::move(samples);
    const ops::MetreRange extent = ops::RouteChainageExtent(samples_);
    fullMinM_ = extent.lowM;
    fullMaxM_ = extent.highM;
    cursorSample_.reset();
    SetReadout({});
    exaggerationSet_ = false;
    ResetView();
    FitExaggeration();
}

void ProfileChart::SetVerticalExaggeration(double factor)
{
    exaggerationSet_ = true;
    factor = std::clamp(factor, ops::kMinExaggeration, ops::kMaxExaggeration);
    if (factor == exaggeration_)
        return;
    exaggeration_ = factor;
    update();
    emit verticalExaggerationChanged(exaggeration_);
}

void ProfileChart::ResetView()
{
    viewMinM_ = fullMinM_;
    viewMaxM_ = fullMaxM_;
    update();
}

QRect ProfileChart::PlotRect() const
{
    return ops::ProfileChartPlotRect(size());
}

bool ProfileChart::SaveImage(const QString& path) const
{
    return ops::SaveProfileChart(path, size(), samples_, View());
}

void ProfileChart::Render(QPainter& painter, QSize size, bool withCursor) const
{
    ops::ProfileChartView view = View();
    if (!withCursor)
        view.cursorSample.reset();
    ops::RenderProfileChart(painter, size, samples_, view);
}

ops::ProfileChartView ProfileChart::View() const
{
    return {viewMinM_, viewMaxM_, exaggeration_, cursorSample_};
}

void ProfileChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Render(painter, size(), true);
}

void ProfileChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitExaggeration();
}

void ProfileChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragStartPx_ = event->position().x();
        dragStartMinM_ = viewMinM_;
    }
}

void ProfileChart::mouseMoveEvent(QMouseEvent* event)
{
    const double x = event->position().x();
    if (dragStartPx_ && (event->buttons() & Qt::LeftButton)) {
        const double spanM = viewMaxM_ - viewMinM_;
        viewMinM_ = dragStartMinM_ - (x - *dragStartPx_) * spanM / PlotRect().width();
        viewMaxM_ = viewMinM_ + spanM;
        ClampView();
        update();
    }
    PointAt(x);
}

void ProfileChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragStartPx_.reset();
}

void ProfileChart::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0)
        return;
    const QRect plot = PlotRect();
    const double x = std::clamp(event->position().x(), double(plot.left()), double(plot.right()));
    const double spanM = viewMaxM_ - viewMinM_;
    const double fullSpanM = fullMaxM_ - fullMinM_;
    const double atM = viewMinM_ + (x - plot.left()) * spanM / plot.width();
    const double newSpanM = std::clamp(spanM / std::pow(kZoomPerWheelNotch, notches),
                                       std::min(fullSpanM, kFinestMetresPerPx * plot.width()), fullSpanM);
    // The chainage under the cursor stays under it.
    viewMinM_ = atM - (atM - viewMinM_) * newSpanM / spanM;
    viewMaxM_ = viewMinM_ + newSpanM;
    ClampView();
    PointAt(event->position().x());
    update();
    event->accept();
}

void ProfileChart::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    cursorSample_.reset();
    SetReadout({});
    update();
}

void ProfileChart::FitExaggeration()
{
    if (exaggerationSet_)
        return;
    const double factor = ops::FittedExaggeration(samples_, size());
    if (factor == exaggeration_)
        return;
    exaggeration_ = factor;
    update();
    emit verticalExaggerationChanged(exaggeration_);
}

// Keeps the view inside the route, its width unchanged unless wider than the route.
void ProfileChart::ClampView()
{
    const double spanM = std::min(viewMaxM_ - viewMinM_, fullMaxM_ - fullMinM_);
    viewMinM_ = std::clamp(viewMinM_, fullMinM_, fullMaxM_ - spanM);
    viewMaxM_ = viewMinM_ + spanM;
}

// The sample nearest in chainage to the pixel column xPx becomes the cursor's.
void ProfileChart::PointAt(double xPx)
{
    if (samples_.empty())
        return;
    const double atM = ops::ChainageAtPx(size(), View(), xPx);
    const auto next =
        std::lower_bound(samples_.begin(), samples_.end(), atM,
                         [](const ProfileSample& sample, double c) { return sample.chainageM < c; });
    auto nearest = next == samples_.end() ? next - 1 : next;
    if (next != samples_.begin() &&
        (next == samples_.end() || atM - (next - 1)->chainageM < next->chainageM - atM))
        nearest = next - 1;
    cursorSample_ = static_cast<std::size_t>(nearest - samples_.begin());
    const QString height =
        nearest->heightM ? QString::number(*nearest->heightM, 'f', 2) + QStringLiteral(" m") : tr("无");
    SetReadout(
        tr("里程 %1  高程 %2").arg(QString::fromStdString(survey::ChainageName(nearest->chainageM)), height));
    update();
}

void ProfileChart::SetReadout(const QString& text)
{
    if (text == readout_)
        return;
    readout_ = text;
    emit readoutChanged(readout_);
}

ProfileWindow::ProfileWindow(Dialogs& dialogs, QWidget* owner) : QWidget(owner, Qt::Window), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("ProfileWindow"));
    setWindowTitle(tr("纵断面"));
    chart_ = new ProfileChart(this);
    auto* fullView = new QPushButton(tr("全图"), this);
    exaggeration_ = new QDoubleSpinBox(this);
    exaggeration_->setRange(ops::kMinExaggeration, ops::kMaxExaggeration);
    exaggeration_->setDecimals(1);
    exaggeration_->setValue(chart_->VerticalExaggeration());
    auto* savePng = new QPushButton(tr("保存PNG..."), this);
    auto* saveSvg = new QPushButton(tr("保存SVG..."), this);
    startChainage_ = new QLineEdit(QStringLiteral("K0+000"), this);
    startChainage_->setObjectName(QStringLiteral("StartChainage"));
    auto* addButton = new QPushButton(tr("加入点表"), this);
    readout_ = new QLabel(this);

    auto* tools = new QHBoxLayout;
    tools->addWidget(fullView);
    tools->addWidget(new QLabel(tr("竖向比例"), this));
    tools->addWidget(exaggeration_);
    tools->addWidget(savePng);
    tools->addWidget(saveSvg);
    tools->addStretch(1);
    tools->addWidget(new QLabel(tr("起始里程"), this));
    tools->addWidget(startChainage_);
    tools->addWidget(addButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(chart_, 1);
    layout->addWidget(readout_);
    resize(Scaled(960), Scaled(560));

    connect(fullView, &QPushButton::clicked, chart_, &ProfileChart::ResetView);
    connect(exaggeration_, &QDoubleSpinBox::valueChanged, chart_, &ProfileChart::SetVerticalExaggeration);
    connect(chart_, &ProfileChart::verticalExaggerationChanged, this, [this](double factor) {
        const QSignalBlocker quiet(exaggeration_);
        exaggeration_->setValue(factor);
    });
    connect(chart_, &ProfileChart::readoutChanged, readout_, &QLabel::setText);
    connect(savePng, &QPushButton::clicked, this,
            [this] { SaveChart(tr("PNG图像 (*.png)|*.png"), QStringLiteral("png")); });
    connect(saveSvg, &QPushButton::clicked, this,
            [this] { SaveChart(tr("SVG矢量图 (*.svg)|*.svg"), QStringLiteral("svg")); });
    connect(addButton, &QPushButton::clicked, this, &ProfileWindow::AddToTable);
    connect(startChainage_, &QLineEdit::returnPressed, this, &ProfileWindow::AddToTable);
}

void ProfileWindow::SetProfile(const QString& routeName, std::vector<survey::ProfileSample> samples)
{
    routeName_ = routeName;
    // A route picked on the map has the program's own name: shown in the interface language.
    setWindowTitle(tr("纵断面 - %1").arg(routeName == QLatin1String(kPickedRouteName)
                                             ? QCoreApplication::translate("TFormMain", kPickedRouteName)
                                             : routeName));
    chart_->SetSamples(std::move(samples));
}

void ProfileWindow::SaveChart(const QString& filter, const QString& suffix)
{
    saveDialog_.title = tr("保存纵断面图");
    saveDialog_.filter = filter;
    saveDialog_.defaultSuffix = suffix;
    saveDialog_.fileName = routeName_.isEmpty() ? tr("纵断面") : routeName_;
    const QString path = dialogs_.GetSaveFileName(this, saveDialog_);
    if (path.isEmpty())
        return;
    if (!chart_->SaveImage(path))
        dialogs_.ShowMessage(this, tr("无法写入文件“%1”。").arg(QDir::toNativeSeparators(path)), tr("纵断面"),
                             MessageIcon::Error);
}

void ProfileWindow::AddToTable()
{
    const QString text = startChainage_->text();
    const std::optional<double> startM = survey::ParseChainage(text.toStdString());
    if (!startM) {
        dialogs_.ShowMessage(
            this, tr("起始里程“%1”无法识别，请写成 K1+250.5 或 1250.5 的形式。").arg(text.trimmed()),
            tr("纵断面"), MessageIcon::Warning);
        return;
    }
    emit addToTable(routeName_, *startM);
}

}  // namespace keldarn::app
