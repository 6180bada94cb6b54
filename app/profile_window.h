#pragma once

// The longitudinal profile of a route on screen: chainage across, height up, drawn with
// QPainter so that it can be saved as PNG or SVG exactly as shown, with a readout of the
// sample under the cursor, zoom and pan along the chainage, and the profile's samples sent
// to the point table from a starting chainage.

#include "app/dialogs.h"
#include "ops/profile_chart.h"
#include "survey/route_profile.h"

#include <QColor>
#include <QWidget>

#include <cstddef>
#include <optional>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace keldarn::app {

// The names the program gives a route or an area picked on the map. They go into the point
// table with a profile's rows as they are, whatever the interface language; windows show
// them translated (context "TFormMain").
inline constexpr const char* kPickedRouteName = QT_TRANSLATE_NOOP("TFormMain", "地图上点选的路线");
inline constexpr const char* kPickedAreaName = QT_TRANSLATE_NOOP("TFormMain", "地图上点选的区域");

// The chart. Horizontally it shows a window of chainages (the whole route at first); the
// mouse wheel zooms it around the cursor and a drag with the left button pans it. Vertically
// the scale follows the horizontal one divided by the vertical exaggeration, centred on the
// heights of the samples in view.
class ProfileChart : public QWidget {
    Q_OBJECT

public:
    // The profile line's colour (exact on every pixel of the line: it is drawn without
    // antialiasing).
    static constexpr QRgb kProfileRgb = ops::kProfileRgb;

    explicit ProfileChart(QWidget* parent = nullptr);

    // samples: in order of chainage, as survey::SampleRoute returns them. Shows the whole
    // route with the exaggeration that fills the chart's height.
    void SetSamples(std::vector<survey::ProfileSample> samples);
    const std::vector<survey::ProfileSample>& Samples() const { return samples_; }

    // Horizontal metres per pixel over vertical metres per pixel, 1..1000 (clamped). Set by
    // the user, it stays; until then it follows the chart's size so that the whole profile
    // fills the height.
    void SetVerticalExaggeration(double factor);
    double VerticalExaggeration() const { return exaggeration_; }

    // Back to the whole route.
    void ResetView();

    // "里程 K0+123.456  高程 45.67 m" for the sample nearest to the cursor; empty while the
    // cursor is off the chart.
    QString Readout() const { return readout_; }

    // Where the samples are drawn, in the chart's pixels.
    QRect PlotRect() const;

    // The chart at its current size without the cursor, as SVG when the suffix is .svg (any
    // case), else as PNG. False when the file cannot be written.
    bool SaveImage(const QString& path) const;

    // The chart into `painter` as if the widget were `size` pixels.
    void Render(QPainter& painter, QSize size, bool withCursor) const;

signals:
    void readoutChanged(const QString& text);
    void verticalExaggerationChanged(double factor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    ops::ProfileChartView View() const;
    void FitExaggeration();
    void ClampView();
    void PointAt(double xPx);
    void SetReadout(const QString& text);

    std::vector<survey::ProfileSample> samples_;
    double fullMinM_ = 0.0;  // chainage extent of the route (metres)
    double fullMaxM_ = 1.0;
    double viewMinM_ = 0.0;  // chainages at the plot's left and right edges (metres)
    double viewMaxM_ = 1.0;
    double exaggeration_ = 1.0;
    bool exaggerationSet_ = false;  // chosen by the user: no longer follows the size
    std::optional<std::size_t> cursorSample_;
    QString readout_;
    std::optional<double> dragStartPx_;
    double dragStartMinM_ = 0.0;
};

// The non-modal window around the chart.
class ProfileWindow : public QWidget {
    Q_OBJECT

public:
    // A top-level window that closes with `owner` (which may be null); dialogs must outlive it.
    explicit ProfileWindow(Dialogs& dialogs, QWidget* owner = nullptr);

    void SetProfile(const QString& routeName, std::vector<survey::ProfileSample> samples);
    const QString& RouteName() const { return routeName_; }
    const std::vector<survey::ProfileSample>& Samples() const { return chart_->Samples(); }

    ProfileChart* Chart() const { return chart_; }

signals:
    // The user asks for the samples in the point table, named by chainage from
    // startChainageM (metres) at the first vertex; see survey::ProfileRows.
    void addToTable(const QString& routeName, double startChainageM);

private:
    void SaveChart(const QString& filter, const QString& suffix);
    void AddToTable();

    Dialogs& dialogs_;
    QString routeName_;
    ProfileChart* chart_ = nullptr;
    QDoubleSpinBox* exaggeration_ = nullptr;
    QLineEdit* startChainage_ = nullptr;
    QLabel* readout_ = nullptr;
    FileDialogOptions saveDialog_;
};

}  // namespace keldarn::app
