#pragma once

// TFormMain, the program's working window. All working data lives in its controls:
// the view to go to, the central meridian and the four parameters are field texts, the
// points are rows of the point table, and the export layout is two lists and a
// separator. Every command is one handler that reads the field texts when it runs,
// calls the module logic, and writes the results back.

#include "app/control_points_dialog.h"
#include "app/dialogs.h"
#include "app/map_points.h"
#include "settings/settings.h"
#include "app/survey_task.h"
#include "app/version_info.h"
#include "cad/acad_automation.h"
#include "earth/application_ge.h"
#include "earth/grid_sampling.h"
#include "geodesy/four_param.h"
#include "geodesy/zone_projection.h"
#include "kml/kml_input.h"
#include "survey/route_profile.h"
#include "survey/survey_frame.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QShortcut;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTimer;
class QTableView;
class QToolBar;
class QToolButton;

namespace keldarn::earth {
class TerrainApplication;
struct MapLayer;
}  // namespace keldarn::earth

namespace keldarn::ops {
struct ContoursResult;
}  // namespace keldarn::ops

namespace keldarn::cad {
class DrawingHost;
class DrawingWindow;
}  // namespace keldarn::cad

namespace keldarn::points {
class PointJournal;
class PointTableModel;
}  // namespace keldarn::points

namespace keldarn::settings {
struct ViewSettingsText;
}  // namespace keldarn::settings

namespace keldarn::app {

class HelpWindow;
class ProfileWindow;
class SampledBatches;

// What the main window needs from its surroundings; tests hand in their own.
struct MainWindowEnvironment {
    std::filesystem::path settingsPath;
    Dialogs* dialogs = nullptr;              // not owned; must outlive the window
    earth::ApplicationFactory createViewer;  // starts the terrain viewer, or throws
    VersionInfoSource versionInfo;
    QString helpPath;           // the user's guide beside the executable
    cad::AcadAttach attachCad;  // the open drawing window, or nullptr;
                                // unset: the window's own drawing host
};

// The program's terrain viewer, as the settings file leaves it: on the view it was closed on,
// over the demonstration terrain. A terrain chosen in an earlier run is then read in the
// background by the window (TFormMain::LoadRememberedTerrain).
earth::ApplicationFactory TerrainViewerFactory(std::filesystem::path settingsPath);

// The environment of the real program: settings and the user's guide where the copy
// keeps them (install_layout.h), the guide in the interface's language, Qt dialogs, the
// terrain viewer and the compiled version values.
MainWindowEnvironment DefaultEnvironment(Dialogs& dialogs, bool chineseInterface = true);

class TFormMain : public QWidget {
    Q_OBJECT

public:
    explicit TFormMain(MainWindowEnvironment environment, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Files given on the command line or by a file manager, each as its type asks: a KML
    // or KMZ on the map, a DXF in the drawing window, any other file read into the point
    // table as the import does. A file that cannot be opened says why; the rest still open.
    // A point file is imported in the background: the files after it open when it ends.
    void OpenFiles(const QStringList& paths);

    // Page area and option panel.
    QFrame* PanelOption = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QStackedWidget* Notebook1 = nullptr;
    QTableView* StringGrid1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* PanelGE = nullptr;
    QLabel* PanelGECaption = nullptr;
    QFrame* PanelStatus = nullptr;
    QFrame* PanelSta = nullptr;
    QLabel* StatusBar1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // Menus, one toolbar button each.
    QToolButton* FileButton = nullptr;
    QToolButton* DataButton = nullptr;
    QToolButton* SetButton = nullptr;
    QToolButton* ConvertButton = nullptr;
    QToolButton* HelpButton = nullptr;
    QMenu* MFile = nullptr;
    QMenu* MData = nullptr;
    QMenu* MSet = nullptr;
    QMenu* MConvert = nullptr;
    QMenu* MHelp = nullptr;

    QWidget* PageMap = nullptr;
    QWidget* PageSet = nullptr;
    QWidget* PageZbzh = nullptr;
    QWidget* PageAuto = nullptr;
    QWidget* PageHget = nullptr;
    QWidget* PageAdd = nullptr;
    QWidget* PageOut = nullptr;

    // PageMap
    QLineEdit* EditFLat = nullptr;
    QLineEdit* EditFLng = nullptr;
    QLineEdit* EditRange = nullptr;
    QLineEdit* EditFAlt = nullptr;
    QLineEdit* EditTilt = nullptr;
    QLineEdit* EditAzi = nullptr;
    QPushButton* Button9 = nullptr;
    QPushButton* Button10 = nullptr;
    QLabel* StaticText5 = nullptr;
    // PageSet
    QLabel* StaticText4 = nullptr;
    QLineEdit* EditLo = nullptr;
    QLineEdit* EditLL = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button14 = nullptr;    // 椭球与分带...
    QLabel* LabelProjection = nullptr;  // the national system in one line
    // PageZbzh
    QLineEdit* EditXdis = nullptr;
    QLineEdit* EditYdis = nullptr;
    QLineEdit* EditRot = nullptr;
    QLineEdit* EditSca = nullptr;
    QLineEdit* EditHdis = nullptr;
    QPushButton* Button12 = nullptr;
    QPushButton* Button13 = nullptr;  // 求解...: the parameters from control points
    QPushButton* Button11 = nullptr;
    QLabel* StaticText2 = nullptr;
    // PageAuto
    QLineEdit* EditDx = nullptr;
    QLineEdit* EditHpi = nullptr;
    QLineEdit* EditDy = nullptr;
    QLineEdit* EditWpi = nullptr;
    QLineEdit* EditPd = nullptr;
    QLineEdit* EditPn = nullptr;
    QPushButton* Button8 = nullptr;
    QPushButton* Button5 = nullptr;
    // PageHget
    QLineEdit* EditNam = nullptr;
    QLineEdit* EditDec = nullptr;
    QLineEdit* EditX = nullptr;
    QLineEdit* EditY = nullptr;
    QLineEdit* EditH = nullptr;
    QLabel* StaticText1 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button3 = nullptr;
    // PageAdd
    QLineEdit* EditNam1 = nullptr;
    QLineEdit* EditDec1 = nullptr;
    QLineEdit* EditLat = nullptr;
    QLineEdit* EditLon = nullptr;
    QLineEdit* EditH1 = nullptr;
    QLabel* StaticText3 = nullptr;
    QPushButton* Button1 = nullptr;
    // PageOut
    QListWidget* ListBox1 = nullptr;
    QListWidget* ListBox2 = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* SpeedButton5 = nullptr;
    QPushButton* SpeedButton6 = nullptr;
    QPushButton* SpeedButton3 = nullptr;
    QPushButton* SpeedButton4 = nullptr;
    QLineEdit* MaskEditFgf = nullptr;
    QPushButton* Button2 = nullptr;

    // The shared file dialogs; a command may change their settings, which then stay.
    FileDialogOptions SaveDialog1;
    FileDialogOptions OpenDialog1;

    points::PointTableModel* PointTable() const { return pointTable_; }
    // The terrain viewer, or nullptr when it could not be started.
    earth::IApplicationGE* Viewer() const { return viewer_.get(); }
    // Whether a terrain source is still being read in the background.
    bool TerrainLoading() const;
    cad::DrawingHost* DrawingHost() const { return drawingHost_; }
    // The window of the user's guide, or nullptr until help was first asked for.
    HelpWindow* Help() const { return helpWindow_; }
    // The viewer window, or nullptr while no viewer is embedded.
    QWidget* ViewerWindow() const { return viewerWindow_; }
    // This copy's crash journal of the point table beside the settings file:
    // "Keldarn.journal" for the first copy running, "Keldarn.2.journal" ... for further
    // ones; empty when the copy keeps none.
    std::filesystem::path JournalPath() const;
    // The backup of the rows recovered at start, "<journal>.bak" beside the journal.
    std::filesystem::path RecoveryBackupPath() const;
    bool ViewerPresent() const { return viewerWindow_ != nullptr; }

    // Menu commands and page buttons, one handler each.
    void MMapClick();           // 地图窗范围
    void MHgetClick();          // 手工采集
    void MAddClick();           // 手工录入
    void MOutClick();           // 导出数据
    void MInClick();            // 导入数据...: reads an exported file back into the point table
    bool ImportFieldsChosen();  // says what to do when the export page names no field
    void ImportPointsFile(const QString& path);
    void Mset1Click();   // 投影设置, 刷新 and 下一步
    void Mset3Click();   // 坐标转换
    void Mdata1Click();  // 自动采集, 刷新 on PageAuto and 确定 on PageZbzh
    void Button4Click();
    void Button12Click();
    void Button11Click();
    void Button3Click();       // 采用 on PageHget
    void Button1Click();       // 采用 on PageAdd
    void N1Click();            // 删除当前行
    void N3Click();            // 清空全部数据
    void SpeedButton1Click();  // >>
    void SpeedButton2Click();  // >
    void SpeedButton3Click();  // ↑
    void SpeedButton4Click();  // ↓
    void SpeedButton5Click();  // <<
    void SpeedButton6Click();  // <
    void Button2Click();       // 确定 on PageOut: the export
    void Button9Click();       // 前往: sends the camera to the view of the map page
    void Button6Click();       // 地图窗取点: the next mouse press picks a terrain point
    void Button5Click();       // 自动采点: samples a grid over the whole view
    // The press that ends pick mode; pos in the main window's client pixels. Any button
    // picks; the shift state is not used.
    void FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& pos);
    bool PickMode() const { return pickMode_; }
    void MTerrainFileClick();       // 地形数据文件...
    void MTerrainFolderClick();     // 地形数据文件夹...
    void MTerrainUrlClick();        // 地形数据网址...
    void MSyntheticTerrainClick();  // 使用合成演示地形
    void MImageryClick();           // 影像图层...
    void MShowKmlClick();           // 在地图上显示KML...
    void ShowKmlOnMap(const QString& path);
    void MRemoveKmlClick();  // 移除地图上的KML
    // 设置 → 地图上的点表: how the table's rows show on the map, kept in the settings file.
    void ChooseTablePointsOnMap(settings::TablePointsOnMap shown);
    settings::TablePointsOnMap TablePointsShownOnMap() const { return tablePointsOnMap_; }
    void MNewDrawingClick();   // 新建CAD图形: opens the drawing window with an empty drawing
    void MOpenDxfClick();      // 打开DXF图形...
    void MShowDrawingClick();  // 显示CAD图形窗口: the open drawing window, or a new drawing
    void MKMLtoCADClick();
    void MCADtoKMLClick();
    void MHelpClick();
    void AddLanguageMenu(QMenu* settingsMenu);
    void ChooseInterfaceLanguage(const std::string& value);  // 设置 → 界面语言
    void MAboutClick();
    void MControlPointsClick();  // 四参数求解...: the parameters from control points
    void MProjectionClick();     // 椭球与分带...: ellipsoid, zones, zone number, datum shift
    const geodesy::ProjectionChoice& Projection() const { return projection_; }
    void MBoundarySampleClick();   // 区域采点...: the survey grid inside a boundary
    void MProfileClick();          // 纵断面...: a profile along a route
    void MContoursClick();         // 等高线到CAD图形...
    void MElevationPointsClick();  // 高程点到CAD图形: the table's rows as elevation points
    // Whether terrain work runs in the background now.
    bool SurveyTaskRunning() const { return surveyTask_ != nullptr; }
    // Opens a profile window (closed by the user, or with the main window).
    ProfileWindow* ShowProfile(const QString& routeName, std::vector<survey::ProfileSample> samples);
    // The profile windows still open.
    std::vector<ProfileWindow*> ProfileWindows() const;

    // The destruction sequence: saves the view and the parameters, then closes the
    // viewer. Runs once; called when the window closes.
    void SaveStateAtClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void BuildToolBar();
    void BuildPages();
    QWidget* BuildPageMap();
    QWidget* BuildPageSet();
    QWidget* BuildPageZbzh();
    QWidget* BuildPageAuto();
    QWidget* BuildPageHget();
    QWidget* BuildPageAdd();
    QWidget* BuildPageOut();
    void BuildPointTable();
    // Every control is named as its member, so that tools and tests find it by name.
    void NameControls();
    void BuildStatusPanel();
    void ConnectCommands();

    void LoadSettingsIntoFields();
    // Writes a view into the six fields of the map page.
    void ShowViewInFields(const settings::ViewSettingsText& view);
    // Whether the window may close with the table's unexported rows: true when there are
    // none or the user answers 是 (否 is the default answer).
    bool CloseWithUnexportedPoints();
    // Offers the rows of every copy that did not end normally, then keeps a journal of the
    // table beside the settings file for as long as the window lives.
    void RecoverAndStartJournal();
    // The normal end: the journal goes, and the backups whose rows are settled.
    void SettleJournalAtClose();
    void RemoveRecoveryBackup();
    void StartViewer();
    void PanelGEResize();
    void ShowPage(QWidget* page);
    // Appends a row at the end of the point table, fixes the title row and makes the
    // new row current, so that the table scrolls to it.
    void AppendAdoptedRow(const QString& name, const QString& description, const QString& x, const QString& y,
                          const QString& h);
    // The zone's projection on the projection page's central meridian and the national
    // system chosen; throws as ReadCentralMeridian does, or ProjectionSetupError.
    geodesy::ZoneProjection CurrentProjection() const;
    // The central meridian, the four parameters and the projection, as the fields hold them.
    survey::SurveyFrame CurrentSurveyFrame() const;
    // The four-parameter transformation as the page's fields hold it now.
    geodesy::FourParamCoefficients CurrentTransform() const;
    // The bounds of a KML reading as the settings file holds them now ([KML]; its default
    // for a value that does not read, which was reported at start).
    kml::KmlReadLimits KmlLimits() const;
    void SetProgress(int percent);
    // The open drawing window, or nullptr after telling the user that none is open.
    cad::IAcadApplication* AttachCad();
    void PickAt(const QPoint& pos);
    // Starts showing the terrain of a DEM file or folder (empty: the demonstration terrain);
    // once its first grid is shown, frames it and remembers the choice.
    void SetTerrainSource(const std::string& path);
    // Reads the terrain chosen in an earlier run in the background, the demonstration terrain
    // shown meanwhile, and shows it on the view it was closed on; Esc cancels. One that
    // cannot be read is named in a warning and the demonstration terrain stays.
    void LoadRememberedTerrain();
    void CancelTerrainLoad();
    // Esc cancels survey work or a terrain load while either runs, and is left to the
    // widgets otherwise.
    void UpdateEscape();
    // The imagery layer of the settings file into the viewer, and the table's points and
    // the KML overlays onto the map, kept up with the table from then on.
    void StartMapOverlays();
    void ApplyImagery(const settings::ImagerySettings& settings);
    void AddTablePointsMenu(QMenu* settingsMenu);
    // The layers the viewer draws: the KML overlays, the table's points, the current row.
    void ShowMapLayers();
    // Brings the table's markers up to the table (only new rows after appends).
    void UpdateMapPoints();
    // Moves the view to the point of a grid row, when it has a place.
    void LookAtRow(int gridRow);
    std::optional<MapPoints::Frame> MapFrame() const;
    // A route or an area for terrain work, as rings of WGS84 points (an area's first ring
    // is its outer boundary, the others its holes; a route has one, its line).
    struct ChosenShape {
        QString name;
        std::vector<geodesy::GeoRing> rings;
    };
    // Nothing when the user cancelled; throws with a message for a file or pick that
    // holds no such shape.
    std::optional<ChosenShape> ChooseShape(ShapeSource source, bool area);
    std::optional<ChosenShape> ChooseKmlShape(bool area);
    std::optional<ChosenShape> PickDrawingPolyline(bool closedOnly);
    std::optional<ChosenShape> TraceShapeOnMap(bool area);
    earth::TerrainApplication* TerrainViewer() const;
    // What every terrain product starts from: the viewer, the central meridian and the
    // user's answer, whose step (metres, named stepName in messages) reads as a number
    // above zero. Nothing when there is no viewer or the user cancelled; remembered is the
    // answer offered, and becomes the new one.
    struct ProductStart {
        earth::TerrainApplication* viewer = nullptr;
        double L0 = 0.0;
        TerrainProductChoice choice;
        double stepM = 0.0;
    };
    std::optional<ProductStart> BeginTerrainProduct(TerrainProduct product, TerrainProductChoice& remembered,
                                                    const char* stepName);
    // Tells the user to wait (true) while terrain work or an import runs.
    bool RefuseWhileSurveyTaskRuns();
    // Runs `work` in the background with the progress bar and Esc; `done` runs on the GUI
    // thread when it ends (an error it carries is shown after `done`). `busy` is what a
    // command refused meanwhile says; empty: that terrain work runs.
    void StartSurveyTask(SurveyTask::Work work, std::function<void(std::exception_ptr, bool)> done,
                         const QString& status, const QString& busy = {});
    // Opens the files OpenFiles was given, up to the first that starts a background import.
    void OpenWaitingFiles();
    void ShowSurveyProgress();
    // Moves the rows a boundary sampling has made so far into the table.
    void AppendSampledBatches();
    // The drawing window that terrain products are drawn into, or nullptr after telling the
    // user that none is open.
    cad::DrawingWindow* DrawingForProducts();
    void DrawContoursIntoDrawing(const ops::ContoursResult& result);
    void AppendProfileRows(const std::vector<survey::ProfileSample>& samples, const QString& routeName,
                           double startChainageM);

    // Runs a command: an error it raises is shown in a message box with its text, and
    // the program goes on.
    void RunCommand(const std::function<void()>& command);
    void ShowInfo(const QString& text);
    void ShowError(const QString& text);

    MainWindowEnvironment env_;
    points::PointTableModel* pointTable_ = nullptr;
    std::unique_ptr<points::PointJournal> journal_;
    std::filesystem::path journalPath_;
    // Whose rows this copy's recovery backup holds and so when it may go: restored rows
    // once all are exported or at the normal end; declined rows only at a later run's
    // normal end.
    enum class RecoveryBackup { kNone, kRestored, kDeclined };
    RecoveryBackup recoveryBackup_ = RecoveryBackup::kNone;
    // Backups of ended runs found at start, removed at this run's normal end.
    std::vector<std::filesystem::path> settledBackups_;
    // The settings as the file held them at start: at close only what differs is written.
    settings::StoredSettings settingsAtStart_;
    cad::DrawingHost* drawingHost_ = nullptr;
    HelpWindow* helpWindow_ = nullptr;
    std::unique_ptr<earth::IApplicationGE> viewer_;
    QWidget* viewerWindow_ = nullptr;
    bool stateSaved_ = false;
    // The terrain chosen in an earlier run is not shown yet: the camera is not on it, and the
    // view saved for it stays in the settings file.
    bool keepSavedView_ = false;
    bool pickMode_ = false;
    // The terrain address typed last, offered again by 地形数据网址...
    QString lastTerrainUrl_;
    MapPoints mapPoints_;
    QTimer* mapPointsTimer_ = nullptr;  // gathers table changes into one update
    std::vector<std::shared_ptr<const earth::MapLayer>> kmlOverlays_;
    std::shared_ptr<const earth::MapLayer> traceLayer_;  // a route or boundary being clicked
    std::unique_ptr<SurveyTask> surveyTask_;
    std::vector<QPointer<ProfileWindow>> profileWindows_;
    std::shared_ptr<SampledBatches> sampledBatches_;
    QTimer* surveyProgressTimer_ = nullptr;
    QShortcut* surveyCancel_ = nullptr;  // Esc while terrain work or a terrain load runs
    QElapsedTimer surveyClock_;
    QString surveyBusy_;        // said to a command refused while the task runs; empty: terrain work
    QStringList waitingFiles_;  // given to OpenFiles, to be opened after the running import
    geodesy::ProjectionChoice projection_;  // the national system ("Projection" section)
    ControlPointSheet controlSheet_;        // the control points as last left, for the next time
    TerrainProductChoice boundaryChoice_{ShapeSource::KmlFile, QStringLiteral("5"), false};
    TerrainProductChoice profileChoice_{ShapeSource::KmlFile, QStringLiteral("20"), false};
    TerrainProductChoice contourChoice_{ShapeSource::View, QStringLiteral("5"), false};
    int currentGridRow_ = 0;  // the table's current row (0: none), highlighted on the map
    settings::TablePointsOnMap tablePointsOnMap_ = settings::TablePointsOnMap::Labels;
};

}  // namespace keldarn::app
