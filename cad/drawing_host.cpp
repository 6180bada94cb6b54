#include "cad/drawing_host.h"

#include <QScreen>
#include <QTimer>

namespace keldarn::cad {

DrawingHost::DrawingHost(QObject* parent) : QObject(parent)
{
}

DrawingHost::~DrawingHost() = default;

IAcadApplication* DrawingHost::Attach()
{
    return Window();
}

AcadAttach DrawingHost::AttachFunction()
{
    return [this] { return Attach(); };
}

DrawingWindow* DrawingHost::Window() const
{
    return window_ && window_->IsOpen() ? window_.get() : nullptr;
}

void DrawingHost::SetDialogs(DrawingDialogs dialogs)
{
    dialogs_ = std::make_unique<DrawingDialogs>(std::move(dialogs));
    if (window_)
        window_->SetDialogs(*dialogs_);
}

void DrawingHost::OpenNewDrawing(QWidget* parent)
{
    if (DrawingWindow* window = Window()) {
        window->SetVisible(true);
        window->NewDrawing();
        return;
    }
    Adopt(std::make_unique<DrawingWindow>(), parent);
}

void DrawingHost::OpenDxf(const QString& path, QWidget* parent)
{
    if (DrawingWindow* window = Window()) {
        window->SetVisible(true);
        window->OpenDxfFile(path);
        return;
    }
    auto window = std::make_unique<DrawingWindow>();
    window->OpenDxfFile(path);  // a file that cannot be read leaves no window behind
    Adopt(std::move(window), parent);
}

bool DrawingHost::CloseDrawing()
{
    DrawingWindow* window = Window();
    return !window || window->close();
}

void DrawingHost::Adopt(std::unique_ptr<DrawingWindow> window, QWidget* parent)
{
    if (window_)
        retired_.push_back(std::move(window_));
    window_ = std::move(window);
    if (dialogs_)
        window_->SetDialogs(*dialogs_);
    connect(window_.get(), &DrawingWindow::closed, this, &DrawingHost::ScheduleCleanup);
    connect(window_.get(), &DrawingWindow::selectionSetsReleased, this, &DrawingHost::ScheduleCleanup);
    if (parent && parent->screen()) {
        const QRect area = parent->screen()->availableGeometry();
        window_->move(area.center() - window_->rect().center());
    }
    window_->SetVisible(true);
}

// Destroying happens from the event loop, never inside the window's own handlers.
void DrawingHost::ScheduleCleanup()
{
    QTimer::singleShot(0, this, &DrawingHost::DestroyClosedWindows);
}

void DrawingHost::DestroyClosedWindows()
{
    const auto unused = [](const std::unique_ptr<DrawingWindow>& window) {
        return !window->IsOpen() && !window->Document().HasSelectionSets();
    };
    std::erase_if(retired_, unused);
    if (window_ && unused(window_))
        window_.reset();
}

}  // namespace keldarn::cad
