#pragma once

// The longitudinal profile drawn as a chart with QPainter, without a widget: chainage across,
// height up, with tick labels, axis titles, the route's vertices and a cursor. The profile
// window paints and saves it; keldarn-cli profile writes it as an image. Qt Gui and Qt SVG,
// so it lives beside keldarn_ops in a library of its own.

#include "survey/route_profile.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstddef>
#include <optional>
#include <span>
#include <utility>

class QPainter;

namespace keldarn::ops {

// The profile line's colour (exact on every pixel of the line: it is drawn without
// antialiasing).
inline constexpr QRgb kProfileRgb = qRgb(200, 40, 30);
// Horizontal metres per pixel over vertical metres per pixel.
inline constexpr double kMinExaggeration = 1.0;
inline constexpr double kMaxExaggeration = 1000.0;

// What part of a profile a chart shows, and how.
struct ProfileChartView {
    double leftChainageM = 0.0;               // chainage at the plot's left edge (metres)
    double rightChainageM = 1.0;              // chainage at the plot's right edge (metres)
    double exaggeration = 1.0;                // kMinExaggeration..kMaxExaggeration
    std::optional<std::size_t> cursorSample;  // index of the sample under the cursor
};

// Where the samples are drawn in a chart of `size` pixels (room around it for the labels).
QRect ProfileChartPlotRect(QSize size);

// A stretch of chainage or of heights, metres, low ≤ high.
struct MetreRange {
    double lowM = 0.0;
    double highM = 0.0;
};

// First and last chainage of the route, a metre wider on each side when the route has no
// length.
MetreRange RouteChainageExtent(std::span<const survey::ProfileSample> samples);

// The exaggeration at which the whole route's heights fill 90 % of the plot's height in a
// chart of `size`, to a tenth (as the window's spin box shows it), within the bounds.
double FittedExaggeration(std::span<const survey::ProfileSample> samples, QSize size);

// The whole route at the fitted exaggeration: what a new chart of `size` shows.
ProfileChartView WholeRouteView(std::span<const survey::ProfileSample> samples, QSize size);

// The chainage (metres) under pixel column xPx of a chart of `size`.
double ChainageAtPx(QSize size, const ProfileChartView& view, double xPx);

// The chart into `painter` over the rectangle (0, 0, size); samples in order of chainage.
void RenderProfileChart(QPainter& painter, QSize size, std::span<const survey::ProfileSample> samples,
                        const ProfileChartView& view);

// The chart without the cursor, at least 480 × 300 pixels, as SVG when the suffix of `path`
// is .svg (any case), else as PNG, through a file that replaces `path` only when complete.
// False when the file cannot be written. Needs a QGuiApplication (fonts).
bool SaveProfileChart(const QString& path, QSize size, std::span<const survey::ProfileSample> samples,
                      const ProfileChartView& view);

}  // namespace keldarn::ops
