#include "ops/profile_chart.h"

#include "i18n/interface_text.h"

#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace keldarn::ops {

namespace {

using survey::ProfileSample;

// Room around the plot for the tick labels and axis titles (pixels).
constexpr int kLeftMarginPx = 78;
constexpr int kRightMarginPx = 18;
constexpr int kTopMarginPx = 18;
constexpr int kBottomMarginPx = 46;
// Share of the plot's height the whole profile takes at the fitted exaggeration.
constexpr double kFillShare = 0.9;
// Saved images of a chart that was never laid out get at least this size.
constexpr QSize kSmallestImage(480, 300);

// Labels and titles: 9 points on a screen of 96 dots per inch.
constexpr int kFontPx = 12;

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
std::optional<MetreRange> HeightRange(std::span<const ProfileSample> samples)
{
    std::optional<MetreRange> range;
    for (const ProfileSample& sample : samples)
        if (sample.heightM) {
            const double h = *sample.heightM;
            range =
                range ? MetreRange{std::min(range->lowM, h), std::max(range->highM, h)} : MetreRange{h, h};
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
    std::optional<MetreRange> range = HeightRange(InView(samples, viewMinM, viewMaxM, false));
    if (!range)
        range = HeightRange(samples);
    const double centreM = range ? 0.5 * (range->lowM + range->highM) : 0.0;
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

    const QString across = QString::fromStdString(i18n::Translate("ProfileChart", "里程 (m)"));
    painter.drawText(QPointF(s.plot.center().x() - metrics.horizontalAdvance(across) / 2.0,
                             s.plot.bottom() + 8 + metrics.ascent() + metrics.height()),
                     across);
    const QString up = QString::fromStdString(i18n::Translate("ProfileChart", "高程 (m)"));
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
    QPen pen{QColor(kProfileRgb), 2};
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

QRect ProfileChartPlotRect(QSize size)
{
    return PlotRectOf(size);
}

MetreRange RouteChainageExtent(std::span<const ProfileSample> samples)
{
    double fromM = samples.empty() ? 0.0 : samples.front().chainageM;
    double toM = samples.empty() ? 1.0 : samples.back().chainageM;
    if (toM <= fromM) {
        fromM -= 1.0;
        toM += 1.0;
    }
    return {fromM, toM};
}

double FittedExaggeration(std::span<const ProfileSample> samples, QSize size)
{
    const std::optional<MetreRange> range = HeightRange(samples);
    if (!range || !(range->highM > range->lowM))
        return kMinExaggeration;
    const auto [fromM, toM] = RouteChainageExtent(samples);
    const QRect plot = PlotRectOf(size);
    const double metresPerPxX = (toM - fromM) / plot.width();
    const double metresPerPxY = (range->highM - range->lowM) / (kFillShare * plot.height());
    return std::clamp(std::round(10.0 * metresPerPxX / metresPerPxY) / 10.0, kMinExaggeration,
                      kMaxExaggeration);
}

ProfileChartView WholeRouteView(std::span<const ProfileSample> samples, QSize size)
{
    const auto [fromM, toM] = RouteChainageExtent(samples);
    return {fromM, toM, FittedExaggeration(samples, size), std::nullopt};
}

double ChainageAtPx(QSize size, const ProfileChartView& view, double xPx)
{
    const QRect plot = PlotRectOf(size);
    return view.leftChainageM +
           (xPx - plot.left()) * (view.rightChainageM - view.leftChainageM) / plot.width();
}

void RenderProfileChart(QPainter& painter, QSize size, std::span<const ProfileSample> samples,
                        const ProfileChartView& view)
{
    painter.save();
    // A font of pixels, not points: the labels measure the same on a screen of any
    // resolution, in a saved image, and in keldarn-cli without a screen.
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(kFontPx);
    font.setHintingPreference(QFont::PreferNoHinting);
    painter.setFont(font);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const ChartScales s =
        ScalesFor(size, samples, view.leftChainageM, view.rightChainageM, view.exaggeration);
    DrawAxes(painter, s);
    const std::span<const ProfileSample> inView =
        InView(samples, view.leftChainageM, view.rightChainageM, true);
    DrawVertices(painter, s, inView);
    painter.setClipRect(s.plot.adjusted(1, 1, 0, 0));
    DrawProfile(painter, s, inView);
    if (view.cursorSample && *view.cursorSample < samples.size())
        DrawCursor(painter, s, samples[*view.cursorSample]);
    painter.restore();
}

bool SaveProfileChart(const QString& path, QSize size, std::span<const ProfileSample> samples,
                      const ProfileChartView& view)
{
    const QSize imageSize = size.expandedTo(kSmallestImage);
    ProfileChartView withoutCursor = view;
    withoutCursor.cursorSample.reset();
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
        RenderProfileChart(painter, imageSize, samples, withoutCursor);
        painter.end();
    } else {
        QImage image(imageSize, QImage::Format_RGB32);
        QPainter painter(&image);
        RenderProfileChart(painter, imageSize, samples, withoutCursor);
        painter.end();
        if (!image.save(&file, "PNG"))
            return false;
    }
    return file.commit();
}

}  // namespace keldarn::ops
