// The terrain the viewer shows: a DEM file, a folder of DEM tiles, or the built-in
// demonstration terrain. The choice is remembered in the settings file.

#include "app/main_window.h"
#include "settings/settings.h"
#include "earth/terrain.h"
#include "earth/terrain_application.h"
#include "geodesy/number_text.h"

#include <QCoreApplication>
#include <QLabel>
#include <QShortcut>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace keldarn::app {

namespace {

constexpr double kMetresPerDegree = 111320.0;

// A look straight down at the whole terrain: the 60° wide view spans its larger side.
void ShowWholeTerrain(earth::IApplicationGE& viewer, const earth::Terrain& terrain)
{
    const double centreLatDeg = (terrain.SouthLatDeg() + terrain.NorthLatDeg()) / 2.0;
    const double centreLonDeg = (terrain.WestLonDeg() + terrain.EastLonDeg()) / 2.0;
    const double heightM = (terrain.NorthLatDeg() - terrain.SouthLatDeg()) * kMetresPerDegree;
    const double widthM = (terrain.EastLonDeg() - terrain.WestLonDeg()) * kMetresPerDegree *
                          std::cos(centreLatDeg * std::numbers::pi / 180.0);
    const double rangeM = std::max(1000.0, 0.9 * std::max(widthM, heightM * 4.0 / 3.0));
    viewer.SetCameraParams(centreLatDeg, centreLonDeg, 0.0, earth::AltitudeModeGE::RelativeToGroundAltitudeGE,
                           rangeM, 0.0, 0.0, 1.0);
}

// The source as the status line names it: the file, and for a DEM whose own heights the
// picks report, its coordinate system and cell size, "rugged.tif（WGS 84 / UTM zone 49N，格网 30米）".
QString TerrainSummary(const earth::TerrainApplication& viewer)
{
    const raster::RasterDescription* dem = viewer.HeightSource();
    if (dem == nullptr)
        return QString::fromStdString(viewer.CurrentTerrain().Name());
    const QString unitName = QString::fromStdString(dem->unitName);
    const QString unit = unitName.compare(QLatin1String("metre"), Qt::CaseInsensitive) == 0 ||
                                 unitName.compare(QLatin1String("meter"), Qt::CaseInsensitive) == 0
                             ? QCoreApplication::translate("TFormMain", "米")
                         : unitName.compare(QLatin1String("degree"), Qt::CaseInsensitive) == 0
                             ? QCoreApplication::translate("TFormMain", "度")
                             : unitName;
    return QCoreApplication::translate("TFormMain", "%1（%2，格网 %3%4）")
        .arg(QString::fromStdString(dem->name), QString::fromStdString(dem->crsName),
             QString::number(dem->cellWidth, 'g', 6), unit);
}

// The view kept in the settings file as the viewer's camera; a text that does not read as a
// number (full stop as decimal mark, as the file writes it) leaves that value to the viewer.
std::optional<earth::LookAt> SavedLookAt(const std::filesystem::path& settingsPath)
{
    const std::optional<settings::ViewSettingsText> view = settings::LoadSavedView(settingsPath);
    if (!view)
        return std::nullopt;
    const auto number = [](const std::string& text) {
        try {
            return geodesy::ParseNumber(text);
        } catch (const geodesy::InvalidNumberError&) {
            return std::numeric_limits<double>::quiet_NaN();
        }
    };
    return earth::LookAt{number(view->latitude), number(view->longitude), number(view->altitude),
                         number(view->range),    number(view->tilt),      number(view->azimuth)};
}

void ApplyView(earth::IApplicationGE& viewer, const earth::LookAt& view)
{
    viewer.SetCameraParams(view.latDeg, view.lonDeg, view.altitudeM,
                           earth::AltitudeModeGE::RelativeToGroundAltitudeGE, view.rangeM, view.tiltDeg,
                           view.azimuthDeg, 1.0);
}

}  // namespace

earth::ApplicationFactory TerrainViewerFactory(std::filesystem::path settingsPath)
{
    return [settingsPath = std::move(settingsPath)]() -> std::unique_ptr<earth::IApplicationGE> {
        // The terrain chosen in an earlier run is read by the window once it runs
        // (LoadRememberedTerrain), on the saved view; until then the viewer shows the
        // demonstration terrain on its own view.
        if (!settings::LoadTerrainSource(settingsPath).empty())
            return earth::CreateTerrainApplication(earth::TerrainSource{});
        return earth::CreateTerrainApplication(earth::TerrainSource{}, SavedLookAt(settingsPath));
    };
}

void TFormMain::LoadRememberedTerrain()
{
    auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get());
    const std::string path = settings::LoadTerrainSource(env_.settingsPath);
    if (terrainViewer == nullptr || path.empty())
        return;
    // Until the source is shown, the camera is on the demonstration terrain: a close then
    // keeps the view saved for the source.
    keepSavedView_ = true;
    StatusBar1->setText(tr("正在读取地形数据，请等待..."));
    earth::TerrainLoadCallbacks callbacks;
    callbacks.shown = [this, terrainViewer] {
        keepSavedView_ = false;
        if (const std::optional<earth::LookAt> view = SavedLookAt(env_.settingsPath))
            ApplyView(*terrainViewer, *view);
        else
            ShowWholeTerrain(*terrainViewer, terrainViewer->CurrentTerrain());
        StatusBar1->setText(tr("地形数据：%1").arg(TerrainSummary(*terrainViewer)));
    };
    callbacks.failed = [this](const std::string& message) {
        StatusBar1->clear();
        env_.dialogs->ShowMessage(this,
                                  QString::fromUtf8(message) + QLatin1Char('\n') + tr("将使用合成演示地形。"),
                                  windowTitle(), MessageIcon::Warning);
    };
    terrainViewer->LoadTerrainSource(earth::TerrainSource{path, settings::LoadTerrainCacheBytes(env_.settingsPath)},
                                     std::move(callbacks));
}

void TFormMain::CancelTerrainLoad()
{
    auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get());
    if (terrainViewer != nullptr && terrainViewer->CancelLoad())
        StatusBar1->setText(tr("已取消读取地形数据。"));
}

void TFormMain::UpdateEscape()
{
    surveyCancel_->setEnabled(surveyTask_ != nullptr || TerrainLoading());
}

void TFormMain::SetTerrainSource(const std::string& path)
{
    auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get());
    if (terrainViewer == nullptr) {
        ShowInfo(tr("地形视图没有启动，无法更换地形数据。"));
        return;
    }
    // The source is read in the background; the window and the terrain in use stay
    // usable until its first grid is ready.
    StatusBar1->setText(tr("正在读取地形数据，请等待..."));
    earth::TerrainLoadCallbacks callbacks;
    callbacks.shown = [this, terrainViewer, path] {
        keepSavedView_ = false;
        ShowWholeTerrain(*terrainViewer, terrainViewer->CurrentTerrain());
        // The map page shows the view the terrain is seen in now, so that "前往" stays on it.
        if (const auto camera = terrainViewer->GetCamera(true))
            ShowViewInFields(
                settings::FormatCamera({camera->FocusPointLatitude, camera->FocusPointLongitude,
                              camera->FocusPointAltitude, camera->Range, camera->Tilt, camera->Azimuth}));
        StatusBar1->setText(tr("地形数据：%1").arg(TerrainSummary(*terrainViewer)));
        RunCommand([this, &path] { settings::SaveTerrainSource(env_.settingsPath, path); });
    };
    callbacks.failed = [this](const std::string& message) {
        // A source that cannot be read leaves the terrain in use as it was.
        StatusBar1->clear();
        ShowError(QString::fromUtf8(message));
    };
    terrainViewer->LoadTerrainSource(earth::TerrainSource{path, settings::LoadTerrainCacheBytes(env_.settingsPath)},
                                     std::move(callbacks));
}

bool TFormMain::TerrainLoading() const
{
    const auto* terrainViewer = dynamic_cast<const earth::TerrainApplication*>(viewer_.get());
    return terrainViewer != nullptr && terrainViewer->IsLoading();
}

void TFormMain::MTerrainFileClick()
{
    OpenDialog1.title = tr("打开DEM地形文件");
    OpenDialog1.filter = tr("DEM地形文件 (*.tif *.tiff *.hgt *.asc *.vrt *.img *.dem *.zip)|"
                            "*.tif;*.tiff;*.hgt;*.asc;*.vrt;*.img;*.dem;*.zip|所有文件 (*.*)|*.*");
    OpenDialog1.defaultSuffix.clear();
    OpenDialog1.fileName.clear();
    const QString path = env_.dialogs->GetOpenFileName(this, OpenDialog1);
    if (!path.isEmpty())
        SetTerrainSource(path.toStdString());
}

void TFormMain::MTerrainFolderClick()
{
    const QString folder = env_.dialogs->GetExistingDirectory(this, tr("选择DEM地形分幅文件夹"));
    if (!folder.isEmpty())
        SetTerrainSource(folder.toStdString());
}

void TFormMain::MTerrainUrlClick()
{
    // Starts from the address in use, if the terrain comes from one, else from the one typed
    // last (which may have failed and want a correction).
    const QString current = QString::fromStdString(settings::LoadTerrainSource(env_.settingsPath));
    const bool remote = current.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                        current.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    const QString start = remote                       ? current
                          : !lastTerrainUrl_.isEmpty() ? lastTerrainUrl_
                                                       : QStringLiteral("https://");
    const QString answer = env_.dialogs->GetText(
        this, tr("地形数据网址"), tr("云优化 GeoTIFF（COG）或 VRT 的网址（http:// 或 https://）："), start);
    if (answer.isNull())
        return;
    const QString url = answer.trimmed();
    lastTerrainUrl_ = url;
    const bool valid = (url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) && url.size() > 7) ||
                       (url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) && url.size() > 8);
    if (!valid || url.contains(QLatin1Char(' '))) {
        ShowError(
            tr("地形数据网址无效：“%1”。\n请输入以 http:// 或 https:// 开头、不含空格的完整网址。").arg(url));
        return;
    }
    SetTerrainSource(url.toStdString());
}

void TFormMain::MSyntheticTerrainClick()
{
    SetTerrainSource(std::string());
}

}  // namespace keldarn::app
