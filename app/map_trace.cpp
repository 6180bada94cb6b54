#include "app/map_trace.h"

#include "earth/screen_coords.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace keldarn::app {

MapTrace::MapTrace(earth::IApplicationGE& viewer, std::function<void(const Vertices&)> show)
    : viewer_(viewer), show_(std::move(show))
{
}

MapTrace::~MapTrace()
{
    qApp->removeEventFilter(this);
}

std::optional<MapTrace::Vertices> MapTrace::Run()
{
    QEventLoop loop;
    loop_ = &loop;
    qApp->installEventFilter(this);
    if (QWidget* render = viewer_.GetRenderHwnd()) {
        render->activateWindow();
        render->setFocus();
    }
    loop.exec();
    qApp->removeEventFilter(this);
    loop_ = nullptr;
    show_({});
    if (!finished_)
        return std::nullopt;
    return vertices_;
}

void MapTrace::AddVertexAt(const QPoint& renderPixel)
{
    QWidget* render = viewer_.GetRenderHwnd();
    if (render == nullptr)
        return;
    const earth::ScreenPoint s =
        earth::NormalizedFromPixel(renderPixel.x(), renderPixel.y(), render->width(), render->height());
    try {
        const earth::IPointOnTerrainGE p = viewer_.GetPointOnTerrainFromScreenCoords(s.sx, s.sy);
        vertices_.push_back({.latDeg = p.Latitude, .lonDeg = p.Longitude});
        show_(vertices_);
    } catch (const earth::NoTerrainError&) {
        // A click on the sky adds nothing.
    }
}

void MapTrace::Finish()
{
    finished_ = true;
    if (loop_)
        loop_->quit();
}

void MapTrace::Abandon()
{
    finished_ = false;
    if (loop_)
        loop_->quit();
}

bool MapTrace::eventFilter(QObject* watched, QEvent* event)
{
    // Input reaches a window's QWindow first and then its widget: it is judged at the widget.
    if (!watched->isWidgetType())
        return false;
    QWidget* render = viewer_.GetRenderHwnd();
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape)
            Abandon();
        else if (key == Qt::Key_Return || key == Qt::Key_Enter)
            Finish();
        else if (key == Qt::Key_Backspace && !vertices_.empty()) {
            vertices_.pop_back();
            show_(vertices_);
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        const bool overMap = render != nullptr && (widget == render || render->isAncestorOf(widget));
        if (!overMap)
            return true;  // the rest of the program waits for the trace
        if (mouse->button() == Qt::RightButton)
            Finish();
        else if (mouse->button() == Qt::LeftButton)
            AddVertexAt(render->mapFromGlobal(mouse->globalPosition().toPoint()));
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Close:
        return true;
    default:
        return false;  // moves and the wheel still navigate the map
    }
}

}  // namespace keldarn::app
