#include "app/main_window.h"

#include "settings/install_layout.h"
#include "app/projection_dialog.h"
#include "settings/settings.h"
#include "app/ui_scale.h"
#include "cad/drawing_host.h"
#include "earth/terrain_application.h"
#include "geodesy/central_meridian.h"
#include "geodesy/number_text.h"
#include "points/point_journal.h"
#include "points/point_table_model.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace keldarn::app {

namespace {

constexpr const char* kWindowTitle = "Keldarn";

// Column widths of the point table in screen pixels: set after the layout has been
// scaled, so they are not scaled themselves.
constexpr int kColumnWidths[points::kColumnCount] = {40, 50, 76, 76, 58};
// The widest values the program itself writes, "0.000" to the millimetre: X south of the
// equator, Y with a 3° zone number of three digits in front (Greenwich is zone 120), an
// elevation below sea level after its correction.
constexpr const char* kWidestWritten[points::kColumnCount] = {"", "", "-9999999.999", "120999999.999",
                                                              "-9999.999"};

// A column's width: the layout's, widened where its title or the widest value the program
// writes into it would be cut short with an ellipsis.
int FittingColumnWidth(const QTableView& table, int column)
{
    // An item view keeps the focus frame's margin and a pixel inside a cell at either side.
    const int cellMargins =
        2 * (table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1);
    const int valueWidth =
        table.fontMetrics().horizontalAdvance(QString::fromLatin1(kWidestWritten[column])) + cellMargins;
    const QHeaderView& header = *table.horizontalHeader();
    const int titleWidth = header.fontMetrics().horizontalAdvance(points::PointTableModel::Title(column)) +
                           2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    return std::max({kColumnWidths[column], valueWidth, titleWidth});
}

QFrame* MakePanel(QFrame::Shape shape, QFrame::Shadow shadow)
{
    auto* frame = new QFrame;
    frame->setFrameStyle(shape | shadow);
    return frame;
}

}  // namespace

MainWindowEnvironment DefaultEnvironment(Dialogs& dialogs, bool chineseInterface)
{
    const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
    MainWindowEnvironment env;
    env.settingsPath = settings::DefaultSettingsPath(exeDir);
    env.dialogs = &dialogs;
    env.createViewer = TerrainViewerFactory(env.settingsPath);
    env.versionInfo = CompiledVersionInfo;
    env.helpPath = QString::fromStdString(
        (settings::DataDirectory(exeDir) / (chineseInterface ? "help.html" : "help_en.html")).string());
    return env;
}

TFormMain::TFormMain(MainWindowEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment))
{
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    drawingHost_ = new cad::DrawingHost(this);
    if (!env_.attachCad)
        env_.attachCad = drawingHost_->AttachFunction();
    BuildLayout();
    ConnectCommands();
    surveyProgressTimer_ = new QTimer(this);
    surveyProgressTimer_->setInterval(100);
    connect(surveyProgressTimer_, &QTimer::timeout, this, &TFormMain::ShowSurveyProgress);
    surveyCancel_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    surveyCancel_->setContext(Qt::ApplicationShortcut);
    surveyCancel_->setEnabled(false);
    connect(surveyCancel_, &QShortcut::activated, this, [this] {
        if (surveyTask_) {
            surveyTask_->Cancel();
            StatusBar1->setText(tr("正在取消..."));
        } else {
            CancelTerrainLoad();
        }
    });

    // Creation sequence: settings into the fields, the point table's titles and widths,
    // then the viewer. The camera is not moved until the user asks for it.
    LoadSettingsIntoFields();
    for (int column = 0; column < points::kColumnCount; ++column)
        StringGrid1->setColumnWidth(column, FittingColumnWidth(*StringGrid1, column));
    StartViewer();
    RecoverAndStartJournal();
    StartMapOverlays();
}

TFormMain::~TFormMain()
{
    // QWidget's destructor still closes the window after this object's members are gone,
    // and an open cell editor commits its text then: the table's signals must no longer
    // reach the map's handlers here.
    pointTable_->disconnect(this);
    StringGrid1->selectionModel()->disconnect(this);
    StringGrid1->disconnect(this);
}

void TFormMain::BuildLayout()
{
    PanelOption = MakePanel(QFrame::Box, QFrame::Plain);
    PanelOption->setObjectName(QStringLiteral("PanelOption"));
    PanelOption->setMinimumWidth(Scaled(333));
    BuildToolBar();
    BuildPages();
    BuildPointTable();
    NameControls();
    auto* optionLayout = new QVBoxLayout(PanelOption);
    optionLayout->setContentsMargins(1, 1, 1, 1);
    optionLayout->setSpacing(0);
    optionLayout->addWidget(ToolBar1);
    optionLayout->addWidget(Notebook1);
    optionLayout->addWidget(StringGrid1, 1);

    PanelGE = MakePanel(QFrame::Box, QFrame::Plain);
    PanelGE->setObjectName(QStringLiteral("PanelGE"));
    PanelGE->setCursor(Qt::CrossCursor);
    PanelGECaption = new QLabel(tr("GoogleEarth地图窗"), PanelGE);
    PanelGECaption->setAlignment(Qt::AlignCenter);
    auto* panelLayout = new QVBoxLayout(PanelGE);
    panelLayout->addWidget(PanelGECaption);
    PanelGE->installEventFilter(this);

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setHandleWidth(Scaled(4));
    Splitter1->addWidget(PanelOption);
    Splitter1->addWidget(PanelGE);
    Splitter1->setCollapsible(0, false);
    Splitter1->setCollapsible(1, false);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({Scaled(410), Scaled(480)});

    BuildStatusPanel();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(PanelStatus);

    // Restored size 890 by 557, centred; the program opens maximised.
    resize(Scaled(890), Scaled(557));
}

void TFormMain::BuildToolBar()
{
    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setStyleSheet(
        QStringLiteral("QToolBar { border-top: 1px solid gray; border-bottom: 1px solid gray; }"
                       "QToolButton::menu-indicator { image: none; width: 0px; }"));

    auto addMenuButton = [this](const QString& caption, QMenu*& menu) {
        menu = new QMenu(caption, this);
        auto* button = new QToolButton;
        button->setText(caption);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumSize(Scaled(55), Scaled(24));
        ToolBar1->addWidget(button);
        return button;
    };
    FileButton = addMenuButton(tr("文件"), MFile);
    DataButton = addMenuButton(tr("数据采集"), MData);
    SetButton = addMenuButton(tr("设置"), MSet);
    ConvertButton = addMenuButton(tr("数据转换"), MConvert);
    HelpButton = addMenuButton(tr("帮助"), MHelp);
}

void TFormMain::BuildPointTable()
{
    pointTable_ = new points::PointTableModel(this);
    StringGrid1 = new QTableView;
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(pointTable_);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Typing into the current cell edits it in place; so do a double click and F2. The
    // editor does not open on its own when a command makes a row current, so that
    // adopting a point never takes the focus away from the page.
    StringGrid1->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(Scaled(18));
    StringGrid1->horizontalHeader()->setDefaultSectionSize(Scaled(60));
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setStretchLastSection(false);
}

void TFormMain::BuildStatusPanel()
{
    PanelStatus = MakePanel(QFrame::NoFrame, QFrame::Plain);
    PanelStatus->setObjectName(QStringLiteral("PanelStatus"));
    PanelStatus->setFixedHeight(Scaled(26));
    PanelSta = MakePanel(QFrame::Panel, QFrame::Sunken);
    PanelSta->setObjectName(QStringLiteral("PanelSta"));
    PanelSta->setMinimumWidth(Scaled(333));
    PanelSta->setFixedWidth(Scaled(410));
    StatusBar1 = new QLabel(PanelSta);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    auto* staLayout = new QHBoxLayout(PanelSta);
    staLayout->setContentsMargins(Scaled(4), 0, Scaled(4), 0);
    staLayout->addWidget(StatusBar1);

    ProgressBar1 = new QProgressBar;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    auto* layout = new QHBoxLayout(PanelStatus);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PanelSta);
    layout->addWidget(ProgressBar1, 1);
}

void TFormMain::ConnectCommands()
{
    // Every command runs through RunCommand: an error it raises is shown, and the
    // program goes on.
    using Handler = void (TFormMain::*)();
    const auto item = [this](QMenu* menu, const QString& text, Handler handler) {
        menu->addAction(text, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    const auto command = [this](QPushButton* button, Handler handler) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    item(MFile, tr("导出数据"), &TFormMain::MOutClick);
    item(MFile, tr("导入数据..."), &TFormMain::MInClick);
    MFile->addSeparator();
    item(MFile, tr("在地图上显示KML..."), &TFormMain::MShowKmlClick);
    item(MFile, tr("移除地图上的KML"), &TFormMain::MRemoveKmlClick);
    item(MData, tr("自动采集"), &TFormMain::Mdata1Click);
    item(MData, tr("手工采集"), &TFormMain::MHgetClick);
    item(MData, tr("手工录入"), &TFormMain::MAddClick);
    MData->addSeparator();
    item(MData, tr("区域采点..."), &TFormMain::MBoundarySampleClick);
    item(MData, tr("纵断面..."), &TFormMain::MProfileClick);
    MData->addSeparator();
    item(MData, tr("删除当前行"), &TFormMain::N1Click);
    item(MData, tr("清空全部数据"), &TFormMain::N3Click);
    item(MSet, tr("地图窗范围"), &TFormMain::MMapClick);
    item(MSet, tr("投影设置"), &TFormMain::Mset1Click);
    item(MSet, tr("坐标转换"), &TFormMain::Mset3Click);
    item(MSet, tr("四参数求解..."), &TFormMain::MControlPointsClick);
    MSet->addSeparator();
    item(MSet, tr("地形数据文件..."), &TFormMain::MTerrainFileClick);
    item(MSet, tr("地形数据文件夹..."), &TFormMain::MTerrainFolderClick);
    item(MSet, tr("地形数据网址..."), &TFormMain::MTerrainUrlClick);
    item(MSet, tr("使用合成演示地形"), &TFormMain::MSyntheticTerrainClick);
    MSet->addSeparator();
    item(MSet, tr("影像图层..."), &TFormMain::MImageryClick);
    AddTablePointsMenu(MSet);
    MSet->addSeparator();
    AddLanguageMenu(MSet);
    item(MConvert, tr("KML文件转为CAD图形"), &TFormMain::MKMLtoCADClick);
    item(MConvert, tr("CAD图形转为KML文件"), &TFormMain::MCADtoKMLClick);
    MConvert->addSeparator();
    item(MConvert, tr("新建CAD图形"), &TFormMain::MNewDrawingClick);
    item(MConvert, tr("打开DXF图形..."), &TFormMain::MOpenDxfClick);
    item(MConvert, tr("显示CAD图形窗口"), &TFormMain::MShowDrawingClick);
    MConvert->addSeparator();
    item(MConvert, tr("等高线到CAD图形..."), &TFormMain::MContoursClick);
    item(MConvert, tr("高程点到CAD图形"), &TFormMain::MElevationPointsClick);
    item(MHelp, tr("帮助文档"), &TFormMain::MHelpClick);
    item(MHelp, tr("关于..."), &TFormMain::MAboutClick);

    command(Button10, &TFormMain::Mset1Click);
    command(Button7, &TFormMain::Mset1Click);
    command(Button4, &TFormMain::Button4Click);
    command(Button12, &TFormMain::Button12Click);
    command(Button13, &TFormMain::MControlPointsClick);
    command(Button14, &TFormMain::MProjectionClick);
    command(Button11, &TFormMain::Button11Click);
    command(Button8, &TFormMain::Mdata1Click);
    command(Button3, &TFormMain::Button3Click);
    command(Button1, &TFormMain::Button1Click);
    command(SpeedButton1, &TFormMain::SpeedButton1Click);
    command(SpeedButton2, &TFormMain::SpeedButton2Click);
    command(SpeedButton3, &TFormMain::SpeedButton3Click);
    command(SpeedButton4, &TFormMain::SpeedButton4Click);
    command(SpeedButton5, &TFormMain::SpeedButton5Click);
    command(SpeedButton6, &TFormMain::SpeedButton6Click);
    command(Button2, &TFormMain::Button2Click);
    command(Button9, &TFormMain::Button9Click);
    command(Button6, &TFormMain::Button6Click);
    command(Button5, &TFormMain::Button5Click);

    // Pasted text can carry line breaks, which a settings value cannot hold: they become
    // blanks in the field at once, and not only when the file is written at close.
    for (QLineEdit* field : {EditXdis, EditYdis, EditRot, EditSca, EditHdis}) {
        connect(field, &QLineEdit::textChanged, this, [this, field](const QString& text) {
            if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
                return;
            const int cursor = field->cursorPosition();
            const QString flat = QString::fromStdString(settings::LineBreaksAsBlanks(text.toStdString()));
            field->setText(flat);  // signals once more, with nothing left to replace
            field->setCursorPosition(qMin(cursor, static_cast<int>(flat.size())));
            StatusBar1->setText(tr("参数中的换行已替换为空格。"));
        });
    }
}

void TFormMain::LoadSettingsIntoFields()
{
    settingsAtStart_ = settings::LoadSettings(env_.settingsPath);
    const settings::StoredSettings& stored = settingsAtStart_;
    const auto put = [](QLineEdit* field, const std::string& text) {
        field->setText(QString::fromStdString(text));
    };
    ShowViewInFields(stored.view);
    put(EditXdis, stored.params.xdis);
    put(EditYdis, stored.params.ydis);
    put(EditRot, stored.params.rot);
    put(EditSca, stored.params.sca);
    put(EditHdis, stored.params.hdis);
    const settings::ProjectionSettings projection = settings::ReadProjectionSettings(env_.settingsPath);
    projection_ = projection.choice;
    LabelProjection->setText(DescribeProjection(projection_));
    // The file is left as it is: the user sees what it says and what is used instead, every
    // problem in one message.
    QStringList problems;
    if (const std::string unreadable = settings::SettingsFileProblem(env_.settingsPath); !unreadable.empty())
        problems << QString::fromStdString(unreadable) + QStringLiteral("\n\n") +
                        tr("本次使用缺省设置；关闭时也不改写这个文件。");
    if (!projection.problem.empty())
        problems << QString::fromStdString(projection.problem) + QStringLiteral("\n\n") +
                        tr("本次使用程序自带的投影：%1。请在“椭球与分带...”中重新设置。")
                            .arg(DescribeProjection(projection_));
    if (const settings::KmzEntryLimitSetting kmz = settings::ReadKmzEntryLimit(env_.settingsPath); !kmz.problem.empty())
        problems << QString::fromStdString(kmz.problem) + QStringLiteral("\n\n") +
                        tr("本次读取KMZ文件时，每个文件解压后以 %1 MB 为限。").arg(kmz.megabytes);
    if (!problems.isEmpty())
        env_.dialogs->ShowMessage(this, problems.join(QStringLiteral("\n\n")),
                                  QString::fromUtf8(kWindowTitle), MessageIcon::Warning);
}

void TFormMain::ShowViewInFields(const settings::ViewSettingsText& view)
{
    const auto put = [](QLineEdit* field, const std::string& text) {
        field->setText(QString::fromStdString(text));
    };
    put(EditFLat, view.latitude);
    put(EditFLng, view.longitude);
    put(EditFAlt, view.altitude);
    put(EditRange, view.range);
    put(EditTilt, view.tilt);
    put(EditAzi, view.azimuth);
}

void TFormMain::StartViewer()
{
    if (viewerWindow_ != nullptr)
        return;
    try {
        if (!env_.createViewer)
            throw earth::EarthError("no viewer");
        viewer_ = env_.createViewer();
    } catch (const std::exception& error) {
        viewer_.reset();
        // The specified message, then why: the viewer's own words.
        ShowError(tr("启动Google Earth失败") + QLatin1Char('\n') + QString::fromUtf8(error.what()));
        return;
    }
    RunCommand([this] {
        QWidget* window = viewer_->GetMainHwnd();
        if (window == nullptr)
            throw earth::EarthError("the terrain viewer has no window");
        // Taken into the map panel without its title bar and frame.
        window->setParent(PanelGE, Qt::Widget);
        viewerWindow_ = window;
        PanelGEResize();
        window->show();
    });
    if (auto* terrainViewer = dynamic_cast<earth::TerrainApplication*>(viewer_.get())) {
        terrainViewer->SetLoadingObserver([this](bool) { UpdateEscape(); });
        LoadRememberedTerrain();
    }
}

void TFormMain::PanelGEResize()
{
    if (viewerWindow_ == nullptr)
        return;
    viewerWindow_->setGeometry(PanelGE->contentsRect());
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PanelGE && event->type() == QEvent::Resize)
        PanelGEResize();
    return QWidget::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    // Points not exported, or a drawing with unsaved changes, may keep the program open.
    if (!stateSaved_ && (!CloseWithUnexportedPoints() || !drawingHost_->CloseDrawing())) {
        event->ignore();
        return;
    }
    // Terrain work still running stops; the rows it has made are kept.
    if (surveyTask_) {
        surveyTask_->Cancel();
        // A work that waits on a stalled server is left to run out; its rows are dropped.
        surveyTask_->Wait(SurveyTask::kCancelWaitMs);
        if (sampledBatches_)
            AppendSampledBatches();
    }
    SaveStateAtClose();
    event->accept();
}

bool TFormMain::CloseWithUnexportedPoints()
{
    // The rows a sampling run has made so far belong to the table already.
    if (surveyTask_ && sampledBatches_)
        AppendSampledBatches();
    const int unexported = pointTable_->UnexportedRowCount();
    return unexported == 0 ||
           env_.dialogs->AskYesNoDefaultNo(
               this, tr("点表中有%1个点尚未导出，退出后将丢失。是否退出？").arg(unexported), windowTitle());
}

void TFormMain::SaveStateAtClose()
{
    if (stateSaved_)
        return;
    stateSaved_ = true;
    SettleJournalAtClose();

    // The parameter texts are saved in every case: typed parameters are never lost. The
    // view is saved only from a viewer's camera.
    std::optional<settings::CameraValues> camera;
    bool viewerCallFailed = false;
    if (ViewerPresent() && !keepSavedView_) {
        try {
            if (const auto info = viewer_->GetCamera(true))
                camera = settings::CameraValues{info->FocusPointLatitude,
                                      info->FocusPointLongitude,
                                      info->FocusPointAltitude,
                                      info->Range,
                                      info->Tilt,
                                      info->Azimuth};
        } catch (const std::exception& error) {
            ShowError(QString::fromUtf8(error.what()));
            viewerCallFailed = true;
        }
    }
    const settings::FourParamTexts params{EditXdis->text().toStdString(), EditYdis->text().toStdString(),
                                EditRot->text().toStdString(), EditSca->text().toStdString(),
                                EditHdis->text().toStdString()};
    // Only what this run changed is written, over the file as it is now: another copy of
    // the program may have saved its own changes since this one started.
    try {
        settings::SaveChangedSettings(env_.settingsPath, settingsAtStart_, camera, params);
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
        return;
    }
    if (ViewerPresent() && !viewerCallFailed)
        viewerWindow_->close();
}

void TFormMain::ShowPage(QWidget* page)
{
    Notebook1->setCurrentWidget(page);
}

void TFormMain::RunCommand(const std::function<void()>& command)
{
    if (RefuseWhileSurveyTaskRuns())
        return;
    try {
        command();
    } catch (const geodesy::CentralMeridianNotSetError& check) {
        env_.dialogs->ShowMessage(this, QString::fromUtf8(check.what()), QString::fromUtf8(kWindowTitle),
                                  MessageIcon::Warning);
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}

void TFormMain::ShowInfo(const QString& text)
{
    env_.dialogs->ShowMessage(this, text, QString::fromUtf8(kWindowTitle), MessageIcon::Information);
}

void TFormMain::ShowError(const QString& text)
{
    env_.dialogs->ShowMessage(this, text, QString::fromUtf8(kWindowTitle), MessageIcon::Error);
}

}  // namespace keldarn::app
