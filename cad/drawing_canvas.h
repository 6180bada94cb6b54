#pragma once

// The drawing area of the drawing window: shows a drawing with pan (drag with the left
// or middle button), zoom about the mouse (wheel) and zoom to extents (Home key, or a
// double click with the middle button).
//
// While a selection on screen runs (BeginPick), a left click picks the nearest entity
// within a few pixels and a left drag draws a window: dragged to the right it picks the
// entities wholly inside, dragged to the left also those crossing its edge. Shift with
// a click or window takes entities out of the selection again. Enter, Space or a right
// click end the selection keeping it, Esc ends it empty (pickFinished).

#include "cad/drawing_model.h"
#include "cad/drawing_render.h"
#include "cad/drawing_view.h"

#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <unordered_set>
#include <vector>

namespace keldarn::cad {

class DrawingCanvas : public QWidget {
    Q_OBJECT

public:
    static constexpr double kPickTolerancePx = 5.0;
    static constexpr int kDragThresholdPx = 3;

    explicit DrawingCanvas(QWidget* parent = nullptr);

    // The drawing shown (not owned); call again after the drawing was replaced.
    void SetModel(const DrawingModel* model);
    DrawingView& View() { return view_; }
    const DrawingView& View() const { return view_; }
    // Shows the whole drawing. Until the user pans or zooms, the view keeps following the
    // drawing's extents as the window grows and entities are added.
    void ZoomExtents();
    // The drawing has grown: repaints, refitting while the view follows the extents.
    void DrawingChanged();

    void BeginPick(std::vector<EntityKind> kinds);
    void EndPick();
    bool IsPicking() const { return picking_; }
    // Entities picked so far, in the order picked.
    const std::vector<EntityRef>& Picked() const { return picked_; }
    // Ends a running selection as Enter (keep) or Esc (not) would.
    void FinishPick(bool keep);

    // Entities shown highlighted besides those being picked (the selection sets).
    void SetHighlighted(std::vector<EntityRef> entities);

    // Renders the canvas as it would be painted.
    QImage Render();

signals:
    void pickFinished(bool keep);
    void pickedChanged(int count);
    void cursorMoved(double xM, double yM);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Pan, PendingWindow, Window };

    void PaintOn(QPainter& painter);
    void PaintWindowBand(QPainter& painter) const;
    void PickAt(QPoint position, bool remove);
    void PickWindow(QPoint from, QPoint to, bool remove);
    void AddPicked(const std::vector<EntityRef>& entities, bool remove);

    const DrawingModel* model_ = nullptr;
    DrawingView view_;
    DrawingRenderer renderer_;
    bool picking_ = false;
    std::vector<EntityKind> pickKinds_;
    std::vector<EntityRef> picked_;
    std::unordered_set<std::uint64_t> pickedKeys_;  // kind and index of every picked entity
    std::vector<EntityRef> highlighted_;
    bool followExtents_ = true;
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    QPoint lastMouse_;
};

}  // namespace keldarn::cad
