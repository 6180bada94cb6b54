#pragma once

// The viewer's widgets: a top-level window that the main window takes into its map panel,
// filled by the render widget that shows the terrain, reads out the point under the mouse
// and navigates like a globe viewer:
//   left drag                 pans (the ground under the mouse follows it)
//   wheel                     zooms (range × 0.8 per notch forwards, ÷ 0.8 backwards)
//   right drag, Ctrl + left   tilts (vertical motion) and turns (horizontal motion)
//   double click              halves the range, centred on the clicked ground
// Frames are rendered on demand, when the view is painted after a change.

#include "earth/terrain_scene.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <optional>

namespace keldarn::earth {

class TerrainRenderWidget : public QWidget {
    Q_OBJECT

public:
    explicit TerrainRenderWidget(TerrainScene& scene, QWidget* parent = nullptr);

    // The normalised view point of a position in the widget (pixels from the top left):
    // sx = 2x/w − 1, sy = 2(h − y)/h − 1, as a pick at that position computes it.
    ScreenPoint ToScreen(QPointF position) const;

    // Redraws after the camera or the terrain has been changed from outside.
    void SceneChanged();

    // The text of the readout line: latitude, longitude and elevation under the mouse.
    const QString& Readout() const { return readout_; }

    // A quiet note at the left of the readout line, such as the terrain still loading;
    // empty for none.
    void SetNote(const QString& note);
    const QString& Note() const { return note_; }

    // The frame shown last, for tests.
    const QImage& Frame() const { return frame_; }

    // Where the last paint put the overlays, in widget pixels: each the bounding box of
    // what it painted, empty when it was not drawn.
    struct DrawnOverlays {
        QRectF scaleBar;
        QRectF compass;
        QRectF readout;  // the text under the mouse
        QRectF note;
    };
    const DrawnOverlays& Overlays() const { return overlays_; }

signals:
    // The user moved the camera.
    void cameraChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Drag { None, Pan, TurnTilt };

    void RenderIfStale();
    void UpdateReadout(QPointF position);
    void CameraMoved();
    QRect ReadoutRect() const;

    TerrainScene& scene_;
    QImage frame_;
    std::uint64_t frameRevision_ = ~std::uint64_t{0};
    QSize frameSize_;
    bool framePreview_ = false;
    std::chrono::duration<double, std::milli> lastFullFrameMs_{0.0};
    Drag drag_ = Drag::None;
    QPointF lastPosition_;
    std::optional<Geodetic> grabbed_;
    QString readout_;
    QString note_;
    DrawnOverlays overlays_;
};

class TerrainMainWindow : public QWidget {
    Q_OBJECT

public:
    explicit TerrainMainWindow(TerrainScene& scene, QWidget* parent = nullptr);

    TerrainRenderWidget* RenderWidget() const { return render_; }

private:
    TerrainRenderWidget* render_;
};

// The readout of a terrain point, e.g. "纬度 33.267700°  经度 113.553800°  高程 123.4 米".
QString FormatReadout(const TerrainHit& hit);

}  // namespace keldarn::earth
