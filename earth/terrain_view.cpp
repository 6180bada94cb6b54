#include "earth/terrain_view.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace keldarn::earth {

namespace {

constexpr double kWheelZoomPerNotch = 0.8;  // range factor per notch forwards
constexpr double kDegreesPerPixel = 0.3;    // turning and tilting by dragging
constexpr int kReadoutHeightPx = 22;
constexpr double kReadoutMarginPx = 8.0;  // at either end of the readout line
constexpr double kReadoutGapPx = 12.0;    // between the note and the readout
// While dragging, frames slower than this are drawn at half resolution, so that the view
// keeps up with the mouse.
constexpr double kPreviewAboveMs = 60.0;

}  // namespace

QString FormatReadout(const TerrainHit& hit)
{
    return QCoreApplication::translate("earth", "纬度 %1°  经度 %2°  高程 %3 米")
        .arg(hit.latDeg, 0, 'f', 6)
        .arg(hit.lonDeg, 0, 'f', 6)
        .arg(hit.elevationM, 0, 'f', 1);
}

TerrainRenderWidget::TerrainRenderWidget(TerrainScene& scene, QWidget* parent)
    : QWidget(parent), scene_(scene)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(13);
    setFont(font);
}

ScreenPoint TerrainRenderWidget::ToScreen(QPointF position) const
{
    return NormalizedFromPixel(position.x(), position.y(), std::max(width(), 1), std::max(height(), 1));
}

void TerrainRenderWidget::SceneChanged()
{
    update();
}

void TerrainRenderWidget::RenderIfStale()
{
    const bool preview = drag_ != Drag::None && lastFullFrameMs_.count() > kPreviewAboveMs;
    if (frameRevision_ == scene_.Revision() && frameSize_ == size() && framePreview_ == preview)
        return;
    const QSize renderSize = preview ? QSize(std::max(width() / 2, 1), std::max(height() / 2, 1)) : size();
    const auto start = std::chrono::steady_clock::now();
    frame_ = scene_.Render(renderSize);
    if (!preview)
        lastFullFrameMs_ = std::chrono::steady_clock::now() - start;
    frameRevision_ = scene_.Revision();
    frameSize_ = size();
    framePreview_ = preview;
}

void TerrainRenderWidget::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0)
        return;
    RenderIfStale();
    QPainter painter(this);
    painter.drawImage(rect(), frame_);
    // A preview frame is drawn stretched, its overlays with it.
    const QTransform toWidget =
        QTransform::fromScale(double(width()) / frame_.width(), double(height()) / frame_.height());
    const OverlayRects& inFrame = scene_.Overlays();
    overlays_ = {toWidget.mapRect(inFrame.scaleBar), toWidget.mapRect(inFrame.compass), {}, {}};
    if (readout_.isEmpty() && note_.isEmpty())
        return;
    const QRect strip = ReadoutRect();
    painter.fillRect(strip, QColor(0, 0, 0, 150));
    // The readout at the right, the note at the left, each cut short with an ellipsis where
    // the line has no room for it whole: the readout keeps its end, the elevation, and the
    // note gives way to it.
    const QRectF line = QRectF(strip).adjusted(kReadoutMarginPx, 0, -kReadoutMarginPx, 0);
    const QFontMetricsF metrics(font());
    const QString readout = metrics.elidedText(readout_, Qt::ElideLeft, line.width());
    const double readoutWidth = readout.isEmpty() ? 0.0 : metrics.horizontalAdvance(readout) + kReadoutGapPx;
    const QString note =
        metrics.elidedText(note_, Qt::ElideRight, std::max(line.width() - readoutWidth, 0.0));
    QRectF drawn;
    painter.setPen(Qt::white);
    painter.drawText(line, Qt::AlignVCenter | Qt::AlignRight, readout, &drawn);
    if (!readout.isEmpty())
        overlays_.readout = drawn;
    painter.setPen(QColor(255, 230, 150));
    painter.drawText(line, Qt::AlignVCenter | Qt::AlignLeft, note, &drawn);
    if (!note.isEmpty())
        overlays_.note = drawn;
}

QRect TerrainRenderWidget::ReadoutRect() const
{
    return QRect(0, height() - kReadoutHeightPx, width(), kReadoutHeightPx);
}

void TerrainRenderWidget::UpdateReadout(QPointF position)
{
    const ScreenPoint s = ToScreen(position);
    QString text;
    try {
        const RayCastResult result = scene_.Pick(s.sx, s.sy, size());
        text = result.hit ? FormatReadout(*result.hit) : tr("此处没有地形数据");
    } catch (const TerrainError& failure) {
        // The DEM stopped answering (a file gone, a server down): say so where the height
        // would be, without stopping the mouse.
        text = QString::fromUtf8(failure.what());
    }
    if (text != readout_) {
        readout_ = text;
        update(ReadoutRect());
    }
}

void TerrainRenderWidget::SetNote(const QString& note)
{
    if (note != note_) {
        note_ = note;
        update(ReadoutRect());
    }
}

void TerrainRenderWidget::CameraMoved()
{
    update();
    emit cameraChanged();
}

void TerrainRenderWidget::mousePressEvent(QMouseEvent* event)
{
    lastPosition_ = event->position();
    const bool turn = event->button() == Qt::RightButton ||
                      (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier));
    if (turn) {
        drag_ = Drag::TurnTilt;
    } else if (event->button() == Qt::LeftButton) {
        const ScreenPoint s = ToScreen(lastPosition_);
        grabbed_ = scene_.GroundForNavigation(s.sx, s.sy, size());
        drag_ = grabbed_ ? Drag::Pan : Drag::None;
        if (grabbed_)
            setCursor(Qt::ClosedHandCursor);
    }
}

void TerrainRenderWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF position = event->position();
    if (drag_ == Drag::Pan && grabbed_) {
        const ScreenPoint s = ToScreen(position);
        if (scene_.DragGroundTo(*grabbed_, s.sx, s.sy, size()))
            CameraMoved();
    } else if (drag_ == Drag::TurnTilt) {
        const QPointF moved = position - lastPosition_;
        // Dragging right turns the terrain with the mouse; dragging up tips the view
        // towards the horizon.
        scene_.TurnAndTilt(-kDegreesPerPixel * moved.x(), -kDegreesPerPixel * moved.y());
        CameraMoved();
    }
    lastPosition_ = position;
    UpdateReadout(position);
}

void TerrainRenderWidget::mouseReleaseEvent(QMouseEvent*)
{
    if (drag_ == Drag::None)
        return;
    drag_ = Drag::None;
    grabbed_.reset();
    setCursor(Qt::CrossCursor);
    update();  // a preview frame is replaced by a full one
}

void TerrainRenderWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const ScreenPoint s = ToScreen(event->position());
    scene_.ZoomInAt(s.sx, s.sy, size());
    CameraMoved();
}

void TerrainRenderWidget::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0)
        return;
    scene_.ZoomBy(std::pow(kWheelZoomPerNotch, notches));
    CameraMoved();
    UpdateReadout(event->position());
}

void TerrainRenderWidget::leaveEvent(QEvent*)
{
    readout_.clear();
    update(ReadoutRect());
}

TerrainMainWindow::TerrainMainWindow(TerrainScene& scene, QWidget* parent)
    : QWidget(parent), render_(new TerrainRenderWidget(scene, this))
{
    setWindowTitle(tr("Keldarn 地形视图"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(render_);
    resize(800, 600);
}

}  // namespace keldarn::earth
