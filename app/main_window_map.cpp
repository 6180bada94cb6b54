// What the map shows besides the terrain: the imagery layer, the table's points and the
// KML files the user lays over it.

#include "app/main_window.h"
#include "earth/kml_overlay.h"
#include "earth/terrain_application.h"
#include "geodesy/central_meridian.h"
#include "points/point_table_model.h"
#include "raster/imagery_source.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace keldarn::app {

namespace {

// Table changes are gathered this long before the markers follow (milliseconds).
constexpr int kMapPointsDelayMs = 150;

// Colours of the KML overlays in the order they are added.
const QColor kOverlayColours[] = {QColor(255, 200, 0), QColor(0, 200, 255), QColor(255, 100, 200),
                                  QColor(120, 255, 120)};

earth::ImageryLayerSettings ViewerImagery(const settings::ImagerySettings& settings)
{
    earth::ImageryLayerSettings layer;
    layer.source = settings.source;
    layer.opacity = settings.opacityPercent / 100.0;
    layer.visible = settings.visible;
    layer.memoryBoundBytes = static_cast<std::size_t>(settings.memoryCacheMB) << 20;
    layer.service.cacheFolder = raster::DefaultImageryCacheFolder();
    layer.service.diskCacheBoundBytes = static_cast<std::uint64_t>(settings.diskCacheMB) << 20;
    return layer;
}

// A KML read on a worker thread: the layer, or the reader's message.
struct KmlRead {
    std::shared_ptr<earth::MapLayer> layer;
    QString error;
};

}  // namespace

void TFormMain::StartMapOverlays()
{
    mapPointsTimer_ = new QTimer(this);
    mapPointsTimer_->setSingleShot(true);
    mapPointsTimer_->setInterval(kMapPointsDelayMs);
    connect(mapPointsTimer_, &QTimer::timeout, this, [this] { UpdateMapPoints(); });
    const auto schedule = [this] { mapPointsTimer_->start(); };
    const auto invalidate = [this] {
        mapPoints_.Invalidate();
        mapPointsTimer_->start();
    };
    connect(pointTable_, &QAbstractItemModel::rowsInserted, this, schedule);
    connect(pointTable_, &QAbstractItemModel::rowsRemoved, this, invalidate);
    connect(pointTable_, &QAbstractItemModel::modelReset, this, invalidate);
    connect(pointTable_, &QAbstractItemModel::dataChanged, this, invalidate);
    // The frame the rows are carried back with.
    for (QLineEdit* field : {EditLL, EditXdis, EditYdis, EditRot, EditSca})
        connect(field, &QLineEdit::textChanged, this, schedule);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                currentGridRow_ = current.isValid() ? current.row() + 1 : 0;
                ShowMapLayers();
            });
    connect(StringGrid1, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { LookAtRow(index.row() + 1); });
    ApplyImagery(settings::LoadImagerySettings(env_.settingsPath));
    UpdateMapPoints();
}

void TFormMain::AddTablePointsMenu(QMenu* settingsMenu)
{
    tablePointsOnMap_ = settings::LoadTablePointsOnMap(env_.settingsPath);
    QMenu* menu = settingsMenu->addMenu(tr("地图上的点表"));
    auto* group = new QActionGroup(menu);
    const std::tuple<QString, const char*, settings::TablePointsOnMap> entries[] = {
        {tr("显示点和点名"), "TablePointsLabels", settings::TablePointsOnMap::Labels},
        {tr("只显示点"), "TablePointsMarkers", settings::TablePointsOnMap::Markers},
        {tr("不显示"), "TablePointsOff", settings::TablePointsOnMap::Off},
    };
    for (const auto& [text, name, shown] : entries) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setChecked(shown == tablePointsOnMap_);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, shown] { RunCommand([this, shown] { ChooseTablePointsOnMap(shown); }); });
    }
}

void TFormMain::ChooseTablePointsOnMap(settings::TablePointsOnMap shown)
{
    if (shown == tablePointsOnMap_)
        return;
    tablePointsOnMap_ = shown;
    UpdateMapPoints();
    ShowMapLayers();
    // The map follows the choice even when the file cannot keep it; RunCommand says why.
    settings::SaveTablePointsOnMap(env_.settingsPath, shown);
}

void TFormMain::ApplyImagery(const settings::ImagerySettings& settings)
{
    auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get());
    if (terrainViewer == nullptr)
        return;
    // The status line speaks of the present source: what it said of an earlier one goes.
    if (StatusBar1->text() == tr("影像图层无法使用"))
        StatusBar1->clear();
    terrainViewer->SetImagery(ViewerImagery(settings), [this](const QString& message) {
        // Said once, when the source is opened; the terrain view goes on without it.
        StatusBar1->setText(tr("影像图层无法使用"));
        ShowError(message);
    });
}

std::optional<MapPoints::Frame> TFormMain::MapFrame() const
{
    try {
        // A choice that cannot be used with this meridian places no row either.
        return MapPoints::Frame{geodesy::ReadCentralMeridian(EditLL->text().toStdString()),
                                CurrentTransform(), projection_};
    } catch (const std::exception&) {
        return std::nullopt;  // fields being typed: no row has a place until they read
    }
}

void TFormMain::UpdateMapPoints()
{
    if (mapPointsTimer_ == nullptr)
        return;
    mapPointsTimer_->stop();
    // Hidden rows are converted once they are shown again.
    if (tablePointsOnMap_ == settings::TablePointsOnMap::Off)
        return;
    if (mapPoints_.Update(*pointTable_, MapFrame(), tablePointsOnMap_ == settings::TablePointsOnMap::Labels))
        ShowMapLayers();
}

void TFormMain::ShowMapLayers()
{
    auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get());
    if (terrainViewer == nullptr)
        return;
    std::vector<std::shared_ptr<const earth::MapLayer>> layers = kmlOverlays_;
    if (tablePointsOnMap_ != settings::TablePointsOnMap::Off)
        layers.insert(layers.end(), mapPoints_.Layers().begin(), mapPoints_.Layers().end());
    // The current row stays marked whatever the switch says: it is where a double click went.
    if (const auto place = MapPoints::RowPlace(*pointTable_, currentGridRow_, MapFrame())) {
        auto current = std::make_shared<earth::MapLayer>();
        current->colour = QColor(255, 255, 0);
        earth::MapMarker marker;
        marker.latDeg = place->latDeg;
        marker.lonDeg = place->lonDeg;
        marker.name = pointTable_->Cell(points::kNameColumn, currentGridRow_);
        marker.selected = true;
        current->markers.push_back(std::move(marker));
        layers.push_back(std::move(current));
    }
    if (traceLayer_)
        layers.push_back(traceLayer_);
    terrainViewer->SetMapLayers(std::move(layers));
}

void TFormMain::LookAtRow(int gridRow)
{
    auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get());
    if (terrainViewer == nullptr)
        return;
    if (const auto place = MapPoints::RowPlace(*pointTable_, gridRow, MapFrame()))
        terrainViewer->LookAtPoint(place->latDeg, place->lonDeg);
}

void TFormMain::MImageryClick()
{
    if (dynamic_cast<earth::TerrainApplication*>(viewer_.get()) == nullptr) {
        ShowInfo(tr("地形视图没有启动，无法设置影像图层。"));
        return;
    }
    settings::ImagerySettings settings = settings::LoadImagerySettings(env_.settingsPath);
    const auto choice =
        env_.dialogs->ChooseImagery(this, ImageryChoice{QString::fromStdString(settings.source),
                                                        settings.opacityPercent, settings.visible});
    if (!choice)
        return;
    settings.source = choice->source.toStdString();
    settings.opacityPercent = choice->opacityPercent;
    settings.visible = choice->visible;
    ApplyImagery(settings);
    settings::SaveImagerySettings(env_.settingsPath, settings);
}

void TFormMain::MShowKmlClick()
{
    if (dynamic_cast<earth::TerrainApplication*>(viewer_.get()) == nullptr) {
        ShowInfo(tr("地形视图没有启动，无法显示KML。"));
        return;
    }
    OpenDialog1.title = tr("在地图上显示KML");
    OpenDialog1.filter = tr("KML文件 (*.kml *.kmz)|*.kml;*.kmz|所有文件 (*.*)|*.*");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (!path.isEmpty())
        ShowKmlOnMap(path);
}

void TFormMain::ShowKmlOnMap(const QString& path)
{
    if (dynamic_cast<earth::TerrainApplication*>(viewer_.get()) == nullptr) {
        ShowInfo(tr("地形视图没有启动，无法显示KML。"));
        return;
    }
    const QString name = QFileInfo(path).fileName();
    StatusBar1->setText(tr("正在读取KML：%1").arg(name));
    // Read on a worker thread, so that a large file leaves the window responsive.
    auto* watcher = new QFutureWatcher<KmlRead>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, name] {
        const KmlRead read = watcher->result();
        watcher->deleteLater();
        if (!read.error.isEmpty()) {
            StatusBar1->clear();
            ShowError(read.error);
            return;
        }
        read.layer->name = name;
        read.layer->colour = kOverlayColours[kmlOverlays_.size() % std::size(kOverlayColours)];
        StatusBar1->setText(tr("地图上显示KML：%1（%2 个点，%3 条线）")
                                .arg(name)
                                .arg(read.layer->markers.size())
                                .arg(read.layer->lines.size()));
        kmlOverlays_.push_back(read.layer);
        ShowMapLayers();
    });
    watcher->setFuture(QtConcurrent::run([file = path.toStdString(), limits = KmlLimits()] {
        KmlRead read;
        try {
            read.layer = earth::LoadKmlOverlay(file, {}, {}, limits);
        } catch (const std::exception& failure) {
            read.error = QString::fromUtf8(failure.what());
        }
        return read;
    }));
}

void TFormMain::MRemoveKmlClick()
{
    if (kmlOverlays_.empty()) {
        ShowInfo(tr("地图上没有显示KML。"));
        return;
    }
    kmlOverlays_.clear();
    StatusBar1->clear();
    ShowMapLayers();
}

}  // namespace keldarn::app
