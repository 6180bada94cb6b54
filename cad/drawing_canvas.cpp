#include "cad/drawing_canvas.h"

#include "cad/drawing_pick.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace keldarn::cad {

DrawingCanvas::DrawingCanvas(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

void DrawingCanvas::SetModel(const DrawingModel* model)
{
    model_ = model;
    renderer_.Reset();
    picked_.clear();
    pickedKeys_.clear();
    highlighted_.clear();
    ZoomExtents();
}

void DrawingCanvas::ZoomExtents()
{
    followExtents_ = true;
    view_.SetCanvasSize(width(), height());
    if (model_)
        view_.Fit(model_->Extents());
    update();
}

void DrawingCanvas::DrawingChanged()
{
    if (followExtents_)
        ZoomExtents();
    else
        update();
}

void DrawingCanvas::BeginPick(std::vector<EntityKind> kinds)
{
    pickKinds_ = std::move(kinds);
    picked_.clear();
    pickedKeys_.clear();
    picking_ = true;
    drag_ = Drag::None;
    setCursor(Qt::CrossCursor);
    setFocus(Qt::OtherFocusReason);
    update();
}

void DrawingCanvas::EndPick()
{
    picking_ = false;
    picked_.clear();
    pickedKeys_.clear();
    drag_ = Drag::None;
    unsetCursor();
    update();
}

void DrawingCanvas::FinishPick(bool keep)
{
    if (picking_)
        emit pickFinished(keep);
}

void DrawingCanvas::SetHighlighted(std::vector<EntityRef> entities)
{
    highlighted_ = std::move(entities);
    update();
}

QImage DrawingCanvas::Render()
{
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    PaintOn(painter);
    return image;
}

void DrawingCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintOn(painter);
}

void DrawingCanvas::PaintOn(QPainter& painter)
{
    view_.SetCanvasSize(width(), height());
    if (!model_) {
        painter.fillRect(rect(), DrawingRenderer::BackgroundColor());
        return;
    }
    std::vector<EntityRef> shown = highlighted_;
    shown.insert(shown.end(), picked_.begin(), picked_.end());
    renderer_.Paint(painter, *model_, view_, shown);
    if (drag_ == Drag::Window)
        PaintWindowBand(painter);
}

// As CAD programs show it: a window to the right is blue and solid, a crossing window to
// the left green and dashed.
void DrawingCanvas::PaintWindowBand(QPainter& painter) const
{
    const bool crossing = lastMouse_.x() < dragStart_.x();
    const QColor color = crossing ? QColor(80, 200, 80) : QColor(70, 130, 255);
    QColor fill = color;
    fill.setAlpha(40);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(color, 1, crossing ? Qt::DashLine : Qt::SolidLine));
    painter.setBrush(fill);
    painter.drawRect(QRect(dragStart_, lastMouse_).normalized());
}

void DrawingCanvas::resizeEvent(QResizeEvent*)
{
    if (followExtents_)
        ZoomExtents();
    else
        view_.SetCanvasSize(width(), height());
}

void DrawingCanvas::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    lastMouse_ = position;
    dragStart_ = position;
    if (event->button() == Qt::RightButton && picking_) {
        FinishPick(true);
    } else if (event->button() == Qt::MiddleButton) {
        drag_ = Drag::Pan;
    } else if (event->button() == Qt::LeftButton) {
        drag_ = picking_ ? Drag::PendingWindow : Drag::Pan;
    }
}

void DrawingCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (drag_ == Drag::Pan) {
        followExtents_ = false;
        view_.PanBy(position - lastMouse_);
        update();
    } else if (drag_ == Drag::PendingWindow && (position - dragStart_).manhattanLength() > kDragThresholdPx) {
        drag_ = Drag::Window;
    }
    lastMouse_ = position;
    if (drag_ == Drag::Window)
        update();
    const DrawingXY at = view_.ToDrawing(event->position());
    emit cursorMoved(at.x, at.y);
}

void DrawingCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    const bool remove = event->modifiers().testFlag(Qt::ShiftModifier);
    if (event->button() == Qt::LeftButton && picking_) {
        if (drag_ == Drag::Window)
            PickWindow(dragStart_, position, remove);
        else if (drag_ == Drag::PendingWindow)
            PickAt(position, remove);
    }
    if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
        drag_ = Drag::None;
        update();
    }
}

void DrawingCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton)
        ZoomExtents();
    else
        mousePressEvent(event);
}

void DrawingCanvas::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0)
        return;
    followExtents_ = false;
    view_.ZoomAbout(event->position(), std::pow(1.25, notches));
    update();
}

void DrawingCanvas::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        FinishPick(false);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        FinishPick(true);
        break;
    case Qt::Key_Home:
        ZoomExtents();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void DrawingCanvas::PickAt(QPoint position, bool remove)
{
    if (!model_)
        return;
    const auto entity = NearestEntity(*model_, view_.ToDrawing(position),
                                      kPickTolerancePx / view_.PixelsPerMetre(), pickKinds_);
    if (entity)
        AddPicked({*entity}, remove);
}

void DrawingCanvas::PickWindow(QPoint from, QPoint to, bool remove)
{
    if (!model_)
        return;
    DrawingBox box;
    const DrawingXY a = view_.ToDrawing(from);
    const DrawingXY b = view_.ToDrawing(to);
    box.Add(a.x, a.y);
    box.Add(b.x, b.y);
    AddPicked(EntitiesInWindow(*model_, box, to.x() < from.x(), pickKinds_), remove);
}

void DrawingCanvas::AddPicked(const std::vector<EntityRef>& entities, bool remove)
{
    const auto key = [](const EntityRef& e) {
        return (std::uint64_t{static_cast<std::uint8_t>(e.kind)} << 32) | e.index;
    };
    if (remove) {
        std::unordered_set<std::uint64_t> removed;
        for (const EntityRef& entity : entities) {
            if (pickedKeys_.erase(key(entity)))
                removed.insert(key(entity));
        }
        std::erase_if(picked_, [&](const EntityRef& e) { return removed.contains(key(e)); });
    } else {
        for (const EntityRef& entity : entities) {
            if (pickedKeys_.insert(key(entity)).second)
                picked_.push_back(entity);
        }
    }
    update();
    emit pickedChanged(static_cast<int>(picked_.size()));
}

}  // namespace keldarn::cad
