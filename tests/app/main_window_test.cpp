// The main window as the user first meets it: start, layout, menus, pages, the
// settings file at start and at close, help and About.

#include "app/about_box.h"
#include "app/help_window.h"
#include "app/ui_scale.h"
#include "cad/drawing_host.h"
#include "cad/drawing_window.h"
#include "points/point_table_model.h"
#include "window_fixture.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using keldarn::testing::WindowFixture;

namespace {

QStringList ActionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* FindAction(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Closes the modal dialog that the next exec() opens.
void CloseNextModal()
{
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsOnMapPageWithDefaults();
    void reportsFailedViewerStart();
    void toolbarHoldsTheMenusInOrder();
    void pointTableHasTitlesAndWidths();
    void pageControlsCarryTheirTexts();
    void commandsSwitchPagesAndKeepTypedText();
    void loadsSettings_data();
    void loadsSettings();
    void unreadableSettingsAreSaidAtStartAndKept_data();
    void unreadableSettingsAreSaidAtStartAndKept();
    void savesCameraAndParametersAtClose();
    void savesParametersWithoutViewer();
    void keepsFileUntouchedWhenNothingChanged();
    void lastCopyToCloseKeepsWhatAnotherChanged();
    void reportsUnwritableSettings();
    void savesParametersWhenCameraFails();
    void lineBreaksInParametersBecomeBlanks();
    void aboutShowsVersionValues();
    void aboutWithoutVersionInfoIsFatal();
    void helpOpensTheGuide();
    void splitterKeepsOptionPanelWidth();
    void viewerFollowsPanelSize();
    void opensFilesGivenToTheProgram();
};

void MainWindowTest::startsOnMapPageWithDefaults()
{
    WindowFixture f;
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Keldarn"));
    QCOMPARE(f.window->Notebook1->currentWidget(), f.window->PageMap);
    QCOMPARE(f.window->StatusBar1->text(), QString());
    QCOMPARE(f.window->ProgressBar1->value(), 0);
    QCOMPARE(f.window->PointTable()->RowCount(), 1);
    QVERIFY(!f.window->PointTable()->HeaderFixed());
    QCOMPARE(f.window->EditLL->text(), QString());
    QCOMPARE(f.window->EditLo->text(), QString());
}

void MainWindowTest::reportsFailedViewerStart()
{
    WindowFixture f;
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("启动Google Earth失败\nno viewer")});
    QVERIFY(!f.window->ViewerPresent());
    QVERIFY(f.window->PanelGECaption->isVisibleTo(f.window.get()));
    QCOMPARE(f.window->PanelGECaption->text(), QStringLiteral("GoogleEarth地图窗"));
    QCOMPARE(f.window->PanelGE->cursor().shape(), Qt::CrossCursor);
}

void MainWindowTest::toolbarHoldsTheMenusInOrder()
{
    WindowFixture f;
    QStringList captions;
    for (QToolButton* button : f.window->ToolBar1->findChildren<QToolButton*>()) {
        if (button->menu() != nullptr && button->objectName() != QLatin1String("qt_toolbar_ext_button")) {
            captions << button->text();
            QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
        }
    }
    QCOMPARE(captions, (QStringList{"文件", "数据采集", "设置", "数据转换", "帮助"}));
    QCOMPARE(ActionTexts(f.window->MFile),
             (QStringList{"导出数据", "导入数据...", "-", "在地图上显示KML...", "移除地图上的KML"}));
    QCOMPARE(ActionTexts(f.window->MData),
             (QStringList{"自动采集", "手工采集", "手工录入", "-", "区域采点...", "纵断面...", "-",
                          "删除当前行", "清空全部数据"}));
    QCOMPARE(ActionTexts(f.window->MSet),
             (QStringList{"地图窗范围", "投影设置", "坐标转换", "四参数求解...", "-", "地形数据文件...",
                          "地形数据文件夹...", "地形数据网址...", "使用合成演示地形", "-", "影像图层...",
                          "地图上的点表", "-", "界面语言"}));
    QCOMPARE(ActionTexts(f.window->MConvert),
             (QStringList{"KML文件转为CAD图形", "CAD图形转为KML文件", "-", "新建CAD图形", "打开DXF图形...",
                          "显示CAD图形窗口", "-", "等高线到CAD图形...", "高程点到CAD图形"}));
    QCOMPARE(ActionTexts(f.window->MHelp), (QStringList{"帮助文档", "关于..."}));
}

void MainWindowTest::pointTableHasTitlesAndWidths()
{
    WindowFixture f;
    const QHeaderView* header = f.window->StringGrid1->horizontalHeader();
    const QStringList titles{"点号", "描述", "纵坐标X", "横坐标Y", "高程H"};
    const int widths[] = {40, 50, 76, 76, 58};
    QCOMPARE(f.window->PointTable()->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        QCOMPARE(f.window->PointTable()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                 titles[column]);
        QCOMPARE(f.window->PointTable()->Cell(column, 0), titles[column]);
        // Wider only where the program's own values need it (writtenNumbersShowWhole).
        QVERIFY(header->sectionSize(column) >= widths[column]);
    }
    QCOMPARE(header->sectionResizeMode(0), QHeaderView::Interactive);
}

void MainWindowTest::pageControlsCarryTheirTexts()
{
    WindowFixture f;
    auto* w = f.window.get();
    QCOMPARE(w->Notebook1->count(), 7);
    QCOMPARE(w->EditRange->toolTip(), QStringLiteral("每单位大约为横向距离的1米左右。"));
    QCOMPARE(w->Button9->text(), QStringLiteral("前往"));
    QCOMPARE(w->Button9->toolTip(), QStringLiteral("到达到采集数据的测区"));
    QCOMPARE(w->Button10->text(), QStringLiteral("下一步"));
    QVERIFY(w->EditLo->isReadOnly());
    QVERIFY(!w->EditLL->isReadOnly());
    QCOMPARE(w->EditPd->text(), QStringLiteral("50"));
    QCOMPARE(w->Button5->toolTip(), QStringLiteral("采集完一屏后，可以将地图移动一屏后继续采集。"));
    for (QLineEdit* readOnly :
         {w->EditDx, w->EditHpi, w->EditDy, w->EditWpi, w->EditPn, w->EditX, w->EditY, w->EditH})
        QVERIFY(readOnly->isReadOnly());
    QCOMPARE(w->EditNam->text(), QStringLiteral("K1"));
    QCOMPARE(w->EditDec->text(), QStringLiteral("校正点"));
    QCOMPARE(w->EditNam1->text(), QStringLiteral("K1"));
    QCOMPARE(w->EditDec1->text(), QStringLiteral("校正点"));
    for (QLineEdit* zero : {w->EditX, w->EditY, w->EditH, w->EditLat, w->EditLon, w->EditH1})
        QCOMPARE(zero->text(), QStringLiteral("0"));
    QCOMPARE(w->ListBox1->count(), 0);
    QStringList chosen;
    for (int i = 0; i < w->ListBox2->count(); ++i)
        chosen << w->ListBox2->item(i)->text();
    QCOMPARE(chosen, (QStringList{"0点名", "1描述", "3Y坐标", "2X坐标", "4高程H"}));
    QCOMPARE(w->MaskEditFgf->text(), QStringLiteral(","));
    QCOMPARE(w->MaskEditFgf->maxLength(), 1);
    const QStringList captions{">>", ">", "<<", "<", "↑", "↓"};
    const QStringList hints{"添加全部字段", "添加选择字段", "移除全部字段", "移除选择字段", "上移", "下移"};
    const QPushButton* buttons[] = {w->SpeedButton1, w->SpeedButton2, w->SpeedButton5,
                                    w->SpeedButton6, w->SpeedButton3, w->SpeedButton4};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(buttons[i]->text(), captions[i]);
        QCOMPARE(buttons[i]->toolTip(), hints[i]);
    }
}

void MainWindowTest::commandsSwitchPagesAndKeepTypedText()
{
    WindowFixture f;
    auto* w = f.window.get();
    const struct {
        QMenu* menu;
        const char* item;
        QWidget* page;
    } commands[] = {
        {w->MData, "手工采集", w->PageHget}, {w->MData, "手工录入", w->PageAdd},
        {w->MFile, "导出数据", w->PageOut},  {w->MSet, "坐标转换", w->PageZbzh},
        {w->MSet, "投影设置", w->PageSet},   {w->MData, "自动采集", w->PageAuto},
        {w->MSet, "地图窗范围", w->PageMap},
    };
    w->EditNam->setText(QStringLiteral("P7"));
    for (const auto& command : commands) {
        QAction* action = FindAction(command.menu, QString::fromUtf8(command.item));
        QVERIFY2(action != nullptr, command.item);
        action->trigger();
        QCOMPARE(w->Notebook1->currentWidget(), command.page);
    }
    QCOMPARE(w->EditNam->text(), QStringLiteral("P7"));

    // "下一步" on the map page runs the projection settings command.
    QTest::mouseClick(w->Button10, Qt::LeftButton);
    QCOMPARE(w->Notebook1->currentWidget(), w->PageSet);
}

void MainWindowTest::loadsSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QStringList>("view");    // lat, lng, alt, range, tilt, azi
    QTest::addColumn<QStringList>("params");  // xdis, ydis, rot, sca, hdis

    const QStringList defaultView{"33.2677", "113.5538", "0", "3000", "0", "0"};
    const QStringList zeros{"0", "0", "0", "0", "0"};
    QTest::newRow("no file") << QByteArray() << false << defaultView << zeros;
    QTest::newRow("only range") << QByteArray("[GEwin]\nRange=500\n") << true
                                << QStringList{"33.2677", "113.5538", "0", "500", "0", "0"} << zeros;
    QTest::newRow("empty value is kept empty")
        << QByteArray("[GEzbzh]\r\nXdis=\r\n") << true << defaultView << QStringList{"", "0", "0", "0", "0"};
    QTest::newRow("case-insensitive, BOM, garbage")
        << QByteArray(
               "\xEF\xBB\xBF; notes\n[gewin]\nLATITUDE = 30.5\ngarbage line\n[GEZBZH]\nxdis=1,5\nRot=10\n")
        << true << QStringList{"30.5", "113.5538", "0", "3000", "0", "0"}
        << QStringList{"1,5", "0", "10", "0", "0"};
}

void MainWindowTest::loadsSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, exists);
    QFETCH(QStringList, view);
    QFETCH(QStringList, params);
    WindowFixture f(false, file, exists);
    auto* w = f.window.get();
    const QLineEdit* viewFields[] = {w->EditFLat,  w->EditFLng, w->EditFAlt,
                                     w->EditRange, w->EditTilt, w->EditAzi};
    const QLineEdit* paramFields[] = {w->EditXdis, w->EditYdis, w->EditRot, w->EditSca, w->EditHdis};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(viewFields[i]->text(), view[i]);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(paramFields[i]->text(), params[i]);
    QCOMPARE(QFile::exists(f.SettingsPath()), exists);
}

// What lies under the settings file's name, when it is none.
enum class NotSettings { File, Folder, EndlessDevice };
Q_DECLARE_METATYPE(NotSettings)

void MainWindowTest::unreadableSettingsAreSaidAtStartAndKept_data()
{
    QTest::addColumn<NotSettings>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray offset("[GEzbzh]\r\nXdis=1000\r\nYdis=2000\r\n");
    QTest::newRow("10 MB") << NotSettings::File << offset + QByteArray(10 << 20, ';')
                           << QStringLiteral("大于 1 MB");
    QTest::newRow("folder") << NotSettings::Folder << QByteArray() << QStringLiteral("这是一个文件夹");
    QTest::newRow("/dev/zero") << NotSettings::EndlessDevice << QByteArray() << QStringLiteral("大于 1 MB");
    QTest::newRow("DXF") << NotSettings::File
                         << QByteArray(
                                "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  8\n0\n 10\n1.0\n 20\n2.0\n 30\n"
                                "0.0\n 40\n2.5\n  1\nH=12.5\n  0\nENDSEC\n  0\nEOF\n")
                         << QStringLiteral("“[节名]”");
    QTest::newRow("NUL bytes") << NotSettings::File << offset + QByteArray("\0\x01\x02\xff\r\n", 6)
                               << QStringLiteral("NUL");
}

// The start says, in one message, which file and why, and that the defaults are used; the
// parameters typed in the run do not replace the file at close.
void MainWindowTest::unreadableSettingsAreSaidAtStartAndKept()
{
    QFETCH(NotSettings, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    WindowFixture f;
    const QString path = f.dir.filePath(QStringLiteral("start/Keldarn.ini"));
    QVERIFY(QDir().mkpath(kind == NotSettings::Folder ? path : f.dir.filePath(QStringLiteral("start"))));
    if (kind == NotSettings::File)
        f.WriteFile(QStringLiteral("start/Keldarn.ini"), bytes);
    if (kind == NotSettings::EndlessDevice)
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    keldarn::testing::FakeDialogs dialogs;
    keldarn::app::MainWindowEnvironment env;
    env.settingsPath = path.toStdString();
    env.dialogs = &dialogs;
    env.createViewer = []() -> std::unique_ptr<keldarn::earth::IApplicationGE> {
        throw keldarn::earth::EarthError("no viewer");
    };
    keldarn::app::TFormMain window(std::move(env));

    const QStringList atStart = dialogs.MessageTexts();
    QCOMPARE(atStart.filter(path).size(), 1);
    const QString said = atStart.filter(path).front();
    QVERIFY2(said.contains(reason) && said.contains(QStringLiteral("关闭时也不改写")), qPrintable(said));
    QCOMPARE(window.EditXdis->text(), QStringLiteral("0"));
    QCOMPARE(window.EditYdis->text(), QStringLiteral("0"));

    window.EditXdis->setText(QStringLiteral("5"));
    window.close();
    QVERIFY2(dialogs.MessageTexts().last().contains(QStringLiteral("该文件保持原样")),
             qPrintable(dialogs.MessageTexts().last()));
    switch (kind) {
    case NotSettings::File: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == bytes);
        break;
    }
    case NotSettings::Folder:
        QVERIFY(QFileInfo(path).isDir());
        break;
    case NotSettings::EndlessDevice:
        QCOMPARE(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/zero"));
        break;
    }
    QCOMPARE(QDir(f.dir.filePath(QStringLiteral("start"))).entryList(QDir::Files | QDir::NoDotAndDotDot),
             kind == NotSettings::Folder ? QStringList{} : QStringList{QStringLiteral("Keldarn.ini")});
}

void MainWindowTest::savesCameraAndParametersAtClose()
{
    WindowFixture f(true);
    QVERIFY(f.window->ViewerPresent());
    f.viewer->camera = keldarn::earth::ICameraInfoGE{33.26771, 113.55384, 123.4, 2999.7, 0.0, 359.99999};
    QPointer<QWidget> viewerWindow = f.viewer->mainWindow;
    QVERIFY(viewerWindow->isVisible() || !f.window->isVisible());
    f.window->EditXdis->setText(QStringLiteral("1,5"));
    f.window->EditFLat->setText(QStringLiteral("10"));  // typed but never sent to the viewer
    f.window->close();
    QCOMPARE(f.SettingsText(),
             QByteArray("[GEwin]\nLatitude=33.2677\nLongitude=113.5538\nAltitude=123\nRange=3000\n"
                        "Tilt=0.0000\nAzimuth=360.0000\n\n[GEzbzh]\nXdis=1,5\nYdis=0\nRot=0\nSca=0\n"
                        "Hdis=0\n"));
    QVERIFY(f.dialogs.messages.empty());
    QVERIFY(!viewerWindow->isVisible());
}

void MainWindowTest::savesParametersWithoutViewer()
{
    const QByteArray before("; keep me\n[GEwin]\nLatitude=40.1\n");
    WindowFixture f(false, before, true);
    f.window->EditRot->setText(QStringLiteral("12.5"));
    f.window->close();
    const QByteArray after = f.SettingsText();
    QVERIFY2(after.startsWith(before), after.constData());
    QVERIFY(after.contains("[GEzbzh]"));
    QVERIFY(after.contains("Rot=12.5"));
    QVERIFY(!after.contains("Longitude"));
}

void MainWindowTest::keepsFileUntouchedWhenNothingChanged()
{
    WindowFixture f;
    f.window->close();
    QVERIFY(!QFile::exists(f.SettingsPath()));
}

// Two copies of the program on one settings file: the one that closes last writes only the
// keys it changed itself, so the view and parameter the other copy changed and saved stay.
void MainWindowTest::lastCopyToCloseKeepsWhatAnotherChanged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Keldarn.ini"));
    const QByteArray start("[GEwin]\nLatitude=33.2677\nLongitude=113.5538\nAltitude=0\nRange=3000\n"
                           "Tilt=0.0000\nAzimuth=0.0000\n\n[GEzbzh]\nXdis=0\nYdis=0\nRot=0\nSca=0\nHdis=0\n\n"
                           "[Notes]\nSite=north slope\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(start) == start.size());
    file.close();
    keldarn::testing::FakeDialogs dialogs;
    const auto startCopy = [&](keldarn::testing::FakeViewer*& viewer) {
        keldarn::app::MainWindowEnvironment env;
        env.settingsPath = path.toStdString();
        env.dialogs = &dialogs;
        env.createViewer = [&viewer] {
            auto fake = std::make_unique<keldarn::testing::FakeViewer>();
            fake->camera = keldarn::earth::ICameraInfoGE{33.2677, 113.5538, 0.0, 3000.0, 0.0, 0.0};
            viewer = fake.get();
            return std::unique_ptr<keldarn::earth::IApplicationGE>(std::move(fake));
        };
        return std::make_unique<keldarn::app::TFormMain>(std::move(env));
    };
    keldarn::testing::FakeViewer* firstViewer = nullptr;
    keldarn::testing::FakeViewer* lastViewer = nullptr;
    auto first = startCopy(firstViewer);
    auto last = startCopy(lastViewer);
    firstViewer->camera->FocusPointLatitude = 40.5;
    first->EditXdis->setText(QStringLiteral("5"));
    first->close();
    last->EditRot->setText(QStringLiteral("7"));
    last->close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("[GEwin]\nLatitude=40.5000\nLongitude=113.5538\nAltitude=0\nRange=3000\n"
                        "Tilt=0.0000\nAzimuth=0.0000\n\n[GEzbzh]\nXdis=5\nYdis=0\nRot=7\nSca=0\nHdis=0\n\n"
                        "[Notes]\nSite=north slope\n"));
}

void MainWindowTest::reportsUnwritableSettings()
{
    WindowFixture f;
    // A settings path below a regular file can never be written, even by root.
    f.WriteFile(QStringLiteral("blocker"), "x");
    keldarn::app::MainWindowEnvironment env;
    const QString path = f.dir.filePath(QStringLiteral("blocker/Keldarn.ini"));
    env.settingsPath = path.toStdString();
    env.dialogs = &f.dialogs;
    keldarn::app::TFormMain window(std::move(env));
    window.EditXdis->setText(QStringLiteral("5"));
    f.dialogs.messages.clear();
    window.close();
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QVERIFY(f.dialogs.messages[0].text.startsWith(QStringLiteral("Unable to write to ") + path));
}

void MainWindowTest::savesParametersWhenCameraFails()
{
    WindowFixture f(true);
    f.viewer->cameraFails = true;
    f.window->EditHdis->setText(QStringLiteral("2.5"));
    f.window->close();
    QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("camera query failed")});
    QVERIFY(f.SettingsText().contains("Hdis=2.5"));
    QVERIFY(!f.SettingsText().contains("[GEwin]"));
}

void MainWindowTest::lineBreaksInParametersBecomeBlanks()
{
    WindowFixture f;
    for (QLineEdit* field :
         {f.window->EditXdis, f.window->EditYdis, f.window->EditRot, f.window->EditSca, f.window->EditHdis}) {
        f.window->StatusBar1->clear();
        field->setText(QStringLiteral("1.5\r\n2\n"));  // as pasted
        QCOMPARE(field->text(), QStringLiteral("1.5 2 "));
        QCOMPARE(f.window->StatusBar1->text(), QStringLiteral("参数中的换行已替换为空格。"));
    }
    f.window->close();
    QVERIFY(f.SettingsText().endsWith("Xdis=1.5 2 \nYdis=1.5 2 \nRot=1.5 2 \nSca=1.5 2 \nHdis=1.5 2 \n"));
}

void MainWindowTest::aboutShowsVersionValues()
{
    WindowFixture f;
    f.versionInfo->companyName.reset();
    keldarn::app::TAboutBox about(f.window.get(), f.dialogs, [&f] { return f.versionInfo; });
    QVERIFY(about.built());
    QCOMPARE(about.windowTitle(), QStringLiteral("关于..."));
    QCOMPARE(about.ProductName->text(), QStringLiteral("产品名称:测试产品"));
    QCOMPARE(about.FileVersion->text(), QStringLiteral("文件版本:1.2.3"));
    QCOMPARE(about.LegalCopyright->text(), QStringLiteral("版权"));
    QCOMPARE(about.CompanyName->text(), QStringLiteral("CompanyName"));
    QCOMPARE(about.Comments->toPlainText(), QStringLiteral("\n欢迎您使用本软件"));
    QVERIFY(about.Comments->isReadOnly());

    // Every "关于..." builds the window afresh and reads the version values again.
    QAction* aboutAction = FindAction(f.window->MHelp, QStringLiteral("关于..."));
    CloseNextModal();
    aboutAction->trigger();
    CloseNextModal();
    aboutAction->trigger();
    QCOMPARE(f.versionReads, 2);
}

void MainWindowTest::aboutWithoutVersionInfoIsFatal()
{
    WindowFixture f;
    f.versionInfo.reset();
    f.dialogs.messages.clear();
    keldarn::app::TAboutBox about(f.window.get(), f.dialogs, [&f] { return f.versionInfo; });
    QVERIFY(!about.built());
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
    QCOMPARE(f.dialogs.messages[0].text, QString::fromUtf8(keldarn::app::kProductInfoFatal));
    QCOMPARE(f.dialogs.messages[0].title, QStringLiteral("错误"));
    QCOMPARE(f.dialogs.messages[0].icon, keldarn::app::MessageIcon::Error);
}

void MainWindowTest::helpOpensTheGuide()
{
    WindowFixture f;
    f.dialogs.messages.clear();
    QAction* help = FindAction(f.window->MHelp, QStringLiteral("帮助文档"));
    help->trigger();
    QCOMPARE(
        f.dialogs.MessageTexts(),
        QStringList{QStringLiteral("找不到帮助文件“%1”。").arg(f.dir.filePath(QStringLiteral("help.html")))});
    QVERIFY(f.window->Help() == nullptr || !f.window->Help()->isVisible());

    // The guide shows in the program's own window, read afresh each time.
    f.WriteFile(QStringLiteral("help.html"), "<html><body><p>第一版</p></body></html>");
    help->trigger();
    QVERIFY(f.window->Help()->isVisible());
    QCOMPARE(f.window->Help()->Browser()->toPlainText(), QStringLiteral("第一版"));
    f.WriteFile(QStringLiteral("help.html"), "<html><body><p>第二版</p></body></html>");
    help->trigger();
    QCOMPARE(f.window->Help()->Browser()->toPlainText(), QStringLiteral("第二版"));
    QCOMPARE(f.dialogs.messages.size(), std::size_t{1});
}

void MainWindowTest::splitterKeepsOptionPanelWidth()
{
    WindowFixture f;
    f.window->resize(1200, 700);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->Splitter1->setSizes({10, 1190});
    QVERIFY(f.window->PanelOption->width() >= keldarn::app::Scaled(333));
    f.window->Splitter1->setSizes({600, 600});
    QVERIFY(f.window->PanelOption->width() > keldarn::app::Scaled(410));
}

void MainWindowTest::viewerFollowsPanelSize()
{
    WindowFixture f(true);
    f.window->resize(1200, 700);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QWidget* viewer = f.window->ViewerWindow();
    QCOMPARE(viewer->parentWidget(), f.window->PanelGE);
    QCOMPARE(viewer->geometry(), f.window->PanelGE->contentsRect());
    // Moving the splitter to the left widens the panel; the viewer follows at (0, 0).
    f.window->Splitter1->setSizes({keldarn::app::Scaled(340), 1200});
    QCOMPARE(viewer->geometry(), f.window->PanelGE->contentsRect());
    QVERIFY(!viewer->isWindow());
}

// keldarn FILE...: each file as its type asks, a missing one reported, the rest opened.
void MainWindowTest::opensFilesGivenToTheProgram()
{
    WindowFixture f;
    f.dialogs.messages.clear();  // the fixture's viewer fails to start
    const QString dxf = f.WriteFile(
        QStringLiteral("given.dxf"),
        "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\n0\n10\n1.0\n20\n2.0\n30\n0.0\n0\nENDSEC\n0\nEOF\n");
    const QString points = f.WriteFile(QStringLiteral("given.dat"), "K7,,3800100.5,500200.25,123.4\r\n");
    const QString kml = f.WriteFile(QStringLiteral("given.kml"), "<kml/>");
    f.window->OpenFiles({f.dir.filePath(QStringLiteral("missing.dxf")), dxf, points, kml});
    // The point file is imported in the background; the KML opens after it.
    QTRY_VERIFY(!f.window->SurveyTaskRunning());

    const keldarn::cad::DrawingWindow* drawing = f.window->DrawingHost()->Window();
    QVERIFY(drawing != nullptr);
    QCOMPARE(QFileInfo(drawing->FilePath()).fileName(), QStringLiteral("given.dxf"));
    // The export page's default fields: name, description, Y, X, H.
    QCOMPARE(f.window->PointTable()->RowCount(), 2);
    QCOMPARE(f.window->PointTable()->Cell(0, 1), QStringLiteral("K7"));
    QCOMPARE(f.window->PointTable()->Cell(3, 1), QStringLiteral("3800100.5"));
    // The map needs the terrain view, which this window has not started.
    QCOMPARE(
        f.dialogs.MessageTexts(),
        (QStringList{
            QStringLiteral("文件“%1”不存在或无法读取。").arg(f.dir.filePath(QStringLiteral("missing.dxf"))),
            QStringLiteral("地形视图没有启动，无法显示KML。")}));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
