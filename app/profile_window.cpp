#include "app/profile_window.h"

#include "app/ui_scale.h"

#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <span>

namespace keldarn::app {

namespace {

using survey::ProfileSample;

// Room around the plot for the tick labels and axis titles (pixels).
constexpr int kLeftMarginPx = 78;
constexpr int kRightMarginPx = 18;
constexpr int kTopMarginPx = 18;
constexpr int kBottomMarginPx = 46;
constexpr double kMinExaggeration = 1.0;
constexpr double kMaxExaggeration = 1000.0;
// Share of the plot's height the whole profile takes at the fitted exaggeration.
constexpr double kFillShare = 0.9;
// Zooming in stops at a millimetre per pixel.
constexpr double kFinestMetresPerPx = 0.001;
constexpr double kZoomPerWheelNotch = 1.25;
// Saved images of a chart that was never laid out get at least this size.
constexpr QSize kSmallestImage(480, 300);

const QColor kGridColour(228, 228, 228);
const QColor kVertexColour(40, 70, 160);
const QColor kCursorColour(20, 120, 60);

QRect PlotRectOf(QSize size)
{
    return QRect(kLeftMarginPx, kTopMarginPx, std::max(1, size.width() - kLeftMarginPx - kRightMarginPx),
                 std::max(1, size.height() - kTopMarginPx - kBottomMarginPx));
}

// Pixel positions of chainages and heights: x grows with chainage, y shrinks with height.
struct ChartScales {
    QRectF plot;
    double leftChainageM = 0.0;
    double metresPerPxX = 1.0;
    double bottomHeightM = 0.0;
    double metresPerPxY = 1.0;

    double X(double chainageM) const { return plot.left() + (chainageM - leftChainageM) / metresPerPxX; }
    double Y(double heightM) const { return plot.bottom() - (heightM - bottomHeightM) / metresPerPxY; }
    double ChainageAt(double xPx) const { return leftChainageM + (xPx - plot.left()) * metresPerPxX; }
    double TopHeightM() const { return bottomHeightM + plot.height() * metresPerPxY; }
};

// Lowest and highest height among the samples, or nothing when none has a height.
std::optional<std::pair<double, double>> HeightRange(std::span<const ProfileSample> samples)
{
    std::optional<std::pair<double, double>> range;
    for (const ProfileSample& sample : samples)
        if (sample.heightM) {
            const double h = *sample.heightM;
            range =
                range ? std::pair(std::min(range->first, h), std::max(range->second, h)) : std::pair(h, h);
        }
    return range;
}

// The samples with chainage in [fromM, toM], with one more on each side so that lines run on
// to the plot's edges.
std::span<const ProfileSample> InView(std::span<const ProfileSample> samples, double fromM, double toM,
                                      bool withNeighbours)
{
    const auto byChainage = [](const ProfileSample& s, double c) { return s.chainageM < c; };
    auto first = std::lower_bound(samples.begin(), samples.end(), fromM, byChainage);
    auto last = std::upper_bound(samples.begin(), samples.end(), toM,
                                 [](double c, const ProfileSample& s) { return c < s.chainageM; });
    if (withNeighbours) {
        if (first != samples.begin())
            --first;
        if (last != samples.end())
            ++last;
    }
    return {first, last};
}

ChartScales ScalesFor(QSize size, std::span<const ProfileSample> samples, double viewMinM, double viewMaxM,
                      double exaggeration)
{
    ChartScales s;
    s.plot = PlotRectOf(size);
    s.leftChainageM = viewMinM;
    s.metresPerPxX = (viewMaxM - viewMinM) / s.plot.width();
    s.metresPerPxY = s.metresPerPxX / exaggeration;
    std::optional<std::pair<double, double>> range = HeightRange(InView(samples, viewMinM, viewMaxM, false));
    if (!range)
        range = HeightRange(samples);
    const double centreM = range ? 0.5 * (range->first + range->second) : 0.0;
    s.bottomHeightM = centreM - 0.5 * s.plot.height() * s.metresPerPxY;
    return s;
}

// A round step (1, 2 or 5 times a power of ten) giving at most maxTicks ticks over span.
double TickStep(double span, int maxTicks)
{
    const double raw = span / std::max(1, maxTicks);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double leading = raw / magnitude;
    return (leading <= 1.0 ? 1.0 : leading <= 2.0 ? 2.0 : leading <= 5.0 ? 5.0 : 10.0) * magnitude;
}

// Multiples of step in [from, to], each with its label (as many decimals as the step needs).
template <typename Draw> void ForEachTick(double from, double to, double step, Draw draw)
{
    const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    const double kFirst = std::ceil(from / step);
    const double kLast = std::floor(to / step);
    for (double k = kFirst; k <= kLast && k - kFirst < 1000; k += 1.0) {
        const double value = k * step;
        draw(value, QString::number(k == 0.0 ? 0.0 : value, 'f', decimals));
    }
}

void DrawAxes(QPainter& painter, const ChartScales& s)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const double xStep = TickStep(s.plot.width() * s.metresPerPxX, static_cast<int>(s.plot.width() / 90));
    ForEachTick(s.leftChainageM, s.ChainageAt(s.plot.right()), xStep, [&](double c, const QString& text) {
        const double x = s.X(c);
        painter.setPen(kGridColour);
        painter.drawLine(QPointF(x, s.plot.top()), QPointF(x, s.plot.bottom()));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(x, s.plot.bottom()), QPointF(x, s.plot.bottom() + 4));
        painter.drawText(
            QPointF(x - metrics.horizontalAdvance(text) / 2.0, s.plot.bottom() + 6 + metrics.ascent()), text);
    });
    const double yStep = TickStep(s.plot.height() * s.metresPerPxY, static_cast<int>(s.plot.height() / 45));
    ForEachTick(s.bottomHeightM, s.TopHeightM(), yStep, [&](double h, const QString& text) {
        const double y = s.Y(h);
        painter.setPen(kGridColour);
        painter.drawLine(QPointF(s.plot.left(), y), QPointF(s.plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(s.plot.left() - 4, y), QPointF(s.plot.left(), y));
        painter.drawText(
            QPointF(s.plot.left() - 6 - metrics.horizontalAdvance(text), y + metrics.ascent() / 2.0 - 1),
            text);
    });
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(s.plot);

    const QString across = QCoreApplication::translate("ProfileChart", "里程 (m)");
    painter.drawText(QPointF(s.plot.center().x() - metrics.horizontalAdvance(across) / 2.0,
                             s.plot.bottom() + 8 + metrics.ascent() + metrics.height()),
                     across);
    const QString up = QCoreApplication::translate("ProfileChart", "高程 (m)");
    painter.save();
    painter.translate(metrics.ascent() + 2, s.plot.center().y() + metrics.horizontalAdvance(up) / 2.0);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), up);
    painter.restore();
}

// A thin dashed line across the plot and a small triangle above it pointing down; one per
// pixel column.
void DrawVertices(QPainter& painter, const ChartScales& s, std::span<const ProfileSample> samples)
{
    QPen dashed(kVertexColour, 1, Qt::DashLine);
    double lastColumn = -1e300;
    for (const ProfileSample& sample : samples) {
        if (!sample.isVertex)
            continue;
        const double x = s.X(sample.chainageM);
        if (std::floor(x) == lastColumn || x < s.plot.left() - 0.5 || x > s.plot.right() + 0.5)
            continue;
        lastColumn = std::floor(x);
        painter.setPen(dashed);
        painter.drawLine(QPointF(x, s.plot.top()), QPointF(x, s.plot.bottom()));
        painter.setPen(Qt::NoPen);
        painter.setBrush(kVertexColour);
        const QPointF triangle[] = {
            {x - 5, s.plot.top() - 10}, {x + 5, s.plot.top() - 10}, {x, s.plot.top() - 1}};
        painter.drawPolygon(triangle, 3);
    }
    painter.setBrush(Qt::NoBrush);
}

// The profile as polylines broken where a sample has no height. Samples sharing a pixel
// column shrink to the column's first, lowest, highest and last heights (in their order
// along the route), so that the drawing costs the width of the plot, not the samples, and
// still shows every peak and the joins to the neighbouring columns.
void DrawProfile(QPainter& painter, const ChartScales& s, std::span<const ProfileSample> samples)
{
    QPen pen{QColor(ProfileChart::kProfileRgb), 2};
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, false);

    QPolygonF run;
    const auto endRun = [&] {
        if (run.size() == 1)
            painter.drawPoint(run.front());
        else if (run.size() > 1)
            painter.drawPolyline(run);
        run.clear();
    };
    struct Column {
        double index = 0.0;
        double x = 0.0;  // exact x of the single sample
        int count = 0;
        double first = 0.0, low = 0.0, high = 0.0, last = 0.0;
        bool lowFirst = true;
    } column;
    const auto endColumn = [&] {
        if (column.count == 0)
            return;
        if (column.count == 1) {
            run << QPointF(column.x, s.Y(column.first));
        } else {
            const double x = column.index + 0.5;
            run << QPointF(x, s.Y(column.first));
            run << QPointF(x, s.Y(column.lowFirst ? column.low : column.high));
            run << QPointF(x, s.Y(column.lowFirst ? column.high : column.low));
            run << QPointF(x, s.Y(column.last));
        }
        column.count = 0;
    };
    for (const ProfileSample& sample : samples) {
        if (!sample.heightM) {
            endColumn();
            endRun();
            continue;
        }
        const double h = *sample.heightM;
        const double x = s.X(sample.chainageM);
        if (column.count == 0 || std::floor(x) != column.index) {
            endColumn();
            column = {std::floor(x), x, 1, h, h, h, h, true};
            continue;
        }
        ++column.count;
        if (h < column.low) {
            column.low = h;
            column.lowFirst = false;
        }
        if (h > column.high) {
            column.high = h;
            column.lowFirst = true;
        }
        column.last = h;
    }
    endColumn();
    endRun();
}

void DrawCursor(QPainter& painter, const ChartScales& s, const ProfileSample& sample)
{
    const double x = s.X(sample.chainageM);
    painter.setPen(QPen(kCursorColour, 1));
    painter.drawLine(QPointF(x, s.plot.top()), QPointF(x, s.plot.bottom()));
    if (sample.heightM) {
        const double y = s.Y(*sample.heightM);
        painter.drawLine(QPointF(s.plot.left(), y), QPointF(s.plot.right(), y));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.drawEllipse(QPointF(x, y), 4, 4);
    }
}

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
    fullMinM_ = samples_.empty() ? 0.0 : samples_.front().chainageM;
    fullMaxM_ = samples_.empty() ? 1.0 : samples_.back().chainageM;
    if (fullMaxM_ <= fullMinM_) {
        fullMinM_ -= 1.0;
        fullMaxM_ += 1.0;
    }
    cursorSample_.reset();
    SetReadout({});
    exaggerationSet_ = false;
    ResetView();
    FitExaggeration();
}

void ProfileChart::SetVerticalExaggeration(double factor)
{
    exaggerationSet_ = true;
    factor = std::clamp(factor, kMinExaggeration, kMaxExaggeration);
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
    return PlotRectOf(size());
}

bool ProfileChart::SaveImage(const QString& path) const
{
    const QSize imageSize = size().expandedTo(kSmallestImage);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(imageSize);
        svg.setViewBox(QRect(QPoint(0, 0), imageSize));
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        Render(painter, imageSize, false);
        painter.end();
    } else {
        QImage image(imageSize, QImage::Format_RGB32);
        QPainter painter(&image);
        Render(painter, imageSize, false);
        painter.end();
        if (!image.save(&file, "PNG"))
            return false;
    }
    return file.commit();
}

void ProfileChart::Render(QPainter& painter, QSize size, bool withCursor) const
{
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const ChartScales s = ScalesFor(size, samples_, viewMinM_, viewMaxM_, exaggeration_);
    DrawAxes(painter, s);
    const std::span<const ProfileSample> inView = InView(samples_, viewMinM_, viewMaxM_, true);
    DrawVertices(painter, s, inView);
    painter.setClipRect(s.plot.adjusted(1, 1, 0, 0));
    DrawProfile(painter, s, inView);
    if (withCursor && cursorSample_)
        DrawCursor(painter, s, samples_[*cursorSample_]);
    painter.restore();
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
    const std::optional<std::pair<double, double>> range = HeightRange(samples_);
    const QRect plot = PlotRect();
    double factor = kMinExaggeration;
    if (range && range->second > range->first) {
        const double metresPerPxX = (fullMaxM_ - fullMinM_) / plot.width();
        const double metresPerPxY = (range->second - range->first) / (kFillShare * plot.height());
        // To a tenth, as the spin box shows it.
        factor = std::clamp(std::round(10.0 * metresPerPxX / metresPerPxY) / 10.0, kMinExaggeration,
                            kMaxExaggeration);
    }
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
    const ChartScales s = ScalesFor(size(), samples_, viewMinM_, viewMaxM_, exaggeration_);
    const double atM = s.ChainageAt(xPx);
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
    exaggeration_->setRange(kMinExaggeration, kMaxExaggeration);
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
