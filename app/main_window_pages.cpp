// The seven pages of the page area. Controls are placed at fixed positions designed in
// pixels at 120 dpi (the page area is 410 by 172), scaled to the screen.

#include "app/main_window.h"
#include "app/ui_scale.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

#include <utility>

namespace keldarn::app {

namespace {

constexpr int kFieldHeight = 21;
constexpr int kButtonHeight = 27;

QRect ScaledRect(int x, int y, int w, int h)
{
    return QRect(Scaled(x), Scaled(y), Scaled(w), Scaled(h));
}

QGroupBox* AddGroup(QWidget* page, const QString& title)
{
    auto* group = new QGroupBox(title, page);
    group->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid #a0a0a0; margin-top: 7px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 6px; color: blue; }"));
    group->setGeometry(ScaledRect(4, 2, 400, 166));
    return group;
}

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int w)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(ScaledRect(x, y, w, kFieldHeight));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// A labelled field; the label stands to the left of it, right-aligned against it.
QLineEdit* AddField(QWidget* parent, const QString& label, int labelX, int fieldX, int y, int fieldW,
                    const QString& text, bool readOnly = false)
{
    AddLabel(parent, label, labelX, y, fieldX - labelX - 4);
    auto* field = new QLineEdit(text, parent);
    field->setGeometry(ScaledRect(fieldX, y, fieldW, kFieldHeight));
    field->setReadOnly(readOnly);
    if (readOnly)
        field->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));
    return field;
}

QPushButton* AddButton(QWidget* parent, const QString& caption, int x, int y, int w, const QString& hint = {})
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(ScaledRect(x, y, w, kButtonHeight));
    button->setToolTip(hint);
    return button;
}

// Advice texts are navy blue inside a flat frame.
QLabel* AddAdvice(QWidget* parent, const QString& text, const QRect& rect120)
{
    auto* advice = new QLabel(text, parent);
    advice->setGeometry(ScaledRect(rect120.x(), rect120.y(), rect120.width(), rect120.height()));
    advice->setWordWrap(true);
    advice->setFrameStyle(QFrame::Box | QFrame::Plain);
    advice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Little room above and below: two lines of text must fit the lowest of these boxes.
    advice->setContentsMargins(Scaled(3), 0, Scaled(3), 0);
    advice->setStyleSheet(QStringLiteral("QLabel { color: navy; border: 1px solid gray; }"));
    return advice;
}

}  // namespace

void TFormMain::BuildPages()
{
    Notebook1 = new QStackedWidget;
    Notebook1->setFixedHeight(Scaled(172));
    for (QWidget* page : {BuildPageMap(), BuildPageSet(), BuildPageZbzh(), BuildPageAuto(), BuildPageHget(),
                          BuildPageAdd(), BuildPageOut()})
        Notebook1->addWidget(page);
    Notebook1->setCurrentWidget(PageMap);
}

void TFormMain::NameControls()
{
    const std::pair<QWidget*, const char*> controls[] = {
#define KELDARN_CONTROL(member) {member, #member}
        KELDARN_CONTROL(FileButton),      KELDARN_CONTROL(DataButton),   KELDARN_CONTROL(SetButton),
        KELDARN_CONTROL(ConvertButton),   KELDARN_CONTROL(HelpButton),   KELDARN_CONTROL(Notebook1),
        KELDARN_CONTROL(EditFLat),        KELDARN_CONTROL(EditFLng),     KELDARN_CONTROL(EditRange),
        KELDARN_CONTROL(EditFAlt),        KELDARN_CONTROL(EditTilt),     KELDARN_CONTROL(EditAzi),
        KELDARN_CONTROL(Button9),         KELDARN_CONTROL(Button10),     KELDARN_CONTROL(StaticText5),
        KELDARN_CONTROL(StaticText4),     KELDARN_CONTROL(EditLo),       KELDARN_CONTROL(EditLL),
        KELDARN_CONTROL(Button7),         KELDARN_CONTROL(Button4),      KELDARN_CONTROL(Button14),
        KELDARN_CONTROL(LabelProjection), KELDARN_CONTROL(EditXdis),     KELDARN_CONTROL(EditYdis),
        KELDARN_CONTROL(EditRot),         KELDARN_CONTROL(EditSca),      KELDARN_CONTROL(EditHdis),
        KELDARN_CONTROL(Button12),        KELDARN_CONTROL(Button13),     KELDARN_CONTROL(Button11),
        KELDARN_CONTROL(StaticText2),     KELDARN_CONTROL(EditDx),       KELDARN_CONTROL(EditHpi),
        KELDARN_CONTROL(EditDy),          KELDARN_CONTROL(EditWpi),      KELDARN_CONTROL(EditPd),
        KELDARN_CONTROL(EditPn),          KELDARN_CONTROL(Button8),      KELDARN_CONTROL(Button5),
        KELDARN_CONTROL(EditNam),         KELDARN_CONTROL(EditDec),      KELDARN_CONTROL(EditX),
        KELDARN_CONTROL(EditY),           KELDARN_CONTROL(EditH),        KELDARN_CONTROL(StaticText1),
        KELDARN_CONTROL(Button6),         KELDARN_CONTROL(Button3),      KELDARN_CONTROL(EditNam1),
        KELDARN_CONTROL(EditDec1),        KELDARN_CONTROL(EditLat),      KELDARN_CONTROL(EditLon),
        KELDARN_CONTROL(EditH1),          KELDARN_CONTROL(StaticText3),  KELDARN_CONTROL(Button1),
        KELDARN_CONTROL(ListBox1),        KELDARN_CONTROL(ListBox2),     KELDARN_CONTROL(SpeedButton1),
        KELDARN_CONTROL(SpeedButton2),    KELDARN_CONTROL(SpeedButton5), KELDARN_CONTROL(SpeedButton6),
        KELDARN_CONTROL(SpeedButton3),    KELDARN_CONTROL(SpeedButton4), KELDARN_CONTROL(MaskEditFgf),
        KELDARN_CONTROL(Button2),
#undef KELDARN_CONTROL
    };
    for (const auto& [widget, name] : controls)
        widget->setObjectName(QString::fromLatin1(name));
}

QWidget* TFormMain::BuildPageMap()
{
    PageMap = new QWidget;
    PageMap->setObjectName(QStringLiteral("PageMap"));
    QGroupBox* group = AddGroup(PageMap, tr("地图窗位置与范围"));
    EditFLat = AddField(group, tr("纬度(度)"), 8, 78, 24, 112, QString());
    EditFLng = AddField(group, tr("经度(度)"), 8, 78, 52, 112, QString());
    EditRange = AddField(group, tr("范围(米)"), 8, 78, 80, 112, QStringLiteral("1000"));
    EditRange->setToolTip(tr("每单位大约为横向距离的1米左右。"));
    EditFAlt = AddField(group, tr("高度(米)"), 200, 270, 24, 112, QStringLiteral("0"));
    EditTilt = AddField(group, tr("倾角(度)"), 200, 270, 52, 112, QStringLiteral("0"));
    EditAzi = AddField(group, tr("方位(度)"), 200, 270, 80, 112, QStringLiteral("0"));
    StaticText5 = AddAdvice(group, tr("输入测区中心经纬度可直接到达测区。"), QRect(12, 116, 196, 40));
    Button9 = AddButton(group, tr("前往"), 222, 122, 80, tr("到达到采集数据的测区"));
    Button10 = AddButton(group, tr("下一步"), 306, 122, 80);
    return PageMap;
}

QWidget* TFormMain::BuildPageSet()
{
    PageSet = new QWidget;
    PageSet->setObjectName(QStringLiteral("PageSet"));
    QGroupBox* group = AddGroup(PageSet, tr("投影设置"));
    StaticText4 = AddAdvice(
        group, tr("坐标系为W84，投影方式为高斯克吕格。当地图中心偏离中央子午线超过1.5度时，建议重新设置。"),
        QRect(10, 22, 380, 48));
    EditLo = AddField(group, tr("GE地图窗中心子午线(度)"), 8, 180, 82, 112, QString(), true);
    EditLL = AddField(group, tr("投影带中央子午线(度)"), 8, 180, 114, 112, QString());
    Button7 = AddButton(group, tr("刷新"), 306, 79, 80);
    Button4 = AddButton(group, tr("确定"), 306, 111, 80);
    Button14 = AddButton(group, tr("椭球与分带..."), 8, 138, 110,
                         tr("坐标系的椭球、3°或6°分带、Y是否含带号，以及WGS84到本坐标系的七参数"));
    LabelProjection = AddLabel(group, QString(), 124, 138, 268);
    LabelProjection->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return PageSet;
}

QWidget* TFormMain::BuildPageZbzh()
{
    PageZbzh = new QWidget;
    PageZbzh->setObjectName(QStringLiteral("PageZbzh"));
    QGroupBox* group = AddGroup(PageZbzh, tr("转换为用户坐标的参数(二维四参数模型)"));
    // The fields hold the widest texts that 四参数求解 writes, a scale change of 12 decimals
    // ("-0.000014992123") and shifts of millions of metres to 4 decimals.
    EditXdis = AddField(group, tr("X平移dx="), 4, 88, 22, 128, QStringLiteral("0"));
    EditYdis = AddField(group, tr("Y平移dy="), 4, 88, 49, 128, QStringLiteral("0"));
    EditRot = AddField(group, tr("旋转R(\")="), 4, 88, 76, 128, QStringLiteral("0"));
    EditSca = AddField(group, tr("尺度变化m="), 4, 88, 103, 128, QStringLiteral("0"));
    EditHdis = AddField(group, tr("高程改正dH="), 4, 88, 130, 128, QStringLiteral("0"));
    StaticText2 =
        AddAdvice(group,
                  tr("若仅平移即可满足精度要求，则只输入dx和dy，R和M置0。四参数可用Virelle坐标转换 2014计算。"
                     "所有参数置0将不转换。"),
                  QRect(220, 18, 176, 104));
    Button12 = AddButton(group, tr("导入"), 220, 127, 58);
    Button13 = AddButton(group, tr("求解..."), 282, 127, 60, tr("由控制点求解四参数和高程改正"));
    Button11 = AddButton(group, tr("确定"), 346, 127, 50);
    return PageZbzh;
}

QWidget* TFormMain::BuildPageAuto()
{
    PageAuto = new QWidget;
    PageAuto->setObjectName(QStringLiteral("PageAuto"));
    QGroupBox* group = AddGroup(PageAuto, tr("自动采点密度设置"));
    EditDx = AddField(group, tr("GE地图窗纵向距离(米)"), 8, 168, 22, 78, QString(), true);
    EditHpi = AddField(group, QString(), 250, 250, 22, 56, QString(), true);
    AddLabel(group, tr("米/像素"), 308, 22, 60)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    EditDy = AddField(group, tr("GE地图窗横向距离(米)"), 8, 168, 49, 78, QString(), true);
    EditWpi = AddField(group, QString(), 250, 250, 49, 56, QString(), true);
    AddLabel(group, tr("米/像素"), 308, 49, 60)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    EditPd = AddField(group, tr("自动采点间距(米)"), 8, 168, 76, 78, QStringLiteral("50"));
    EditPd->setToolTip(tr("每像素距离和采点间距越小地形精度就越高。但点太密采点速度就会慢。"));
    EditPn = AddField(group, tr("预计采点数量"), 8, 168, 103, 78, QString(), true);
    Button8 = AddButton(group, tr("刷新"), 216, 130, 84);
    Button5 =
        AddButton(group, tr("自动采点"), 306, 130, 84, tr("采集完一屏后，可以将地图移动一屏后继续采集。"));
    return PageAuto;
}

QWidget* TFormMain::BuildPageHget()
{
    PageHget = new QWidget;
    PageHget->setObjectName(QStringLiteral("PageHget"));
    EditNam = AddField(PageHget, tr("点名"), 4, 72, 8, 118, QStringLiteral("K1"));
    EditDec = AddField(PageHget, tr("点位描述"), 4, 72, 39, 118, QStringLiteral("校正点"));
    EditX = AddField(PageHget, tr("X坐标"), 4, 72, 70, 118, QStringLiteral("0"), true);
    EditY = AddField(PageHget, tr("Y坐标"), 4, 72, 101, 118, QStringLiteral("0"), true);
    EditH = AddField(PageHget, tr("高程H"), 4, 72, 132, 118, QStringLiteral("0"), true);
    StaticText1 = AddAdvice(PageHget, tr("为便于后期的地形图配准，可选一些地形地物的特征点作为校正点。"),
                            QRect(204, 8, 198, 62));
    Button6 = AddButton(PageHget, tr("地图窗取点"), 204, 96, 106);
    Button3 = AddButton(PageHget, tr("采用"), 316, 96, 86);
    return PageHget;
}

QWidget* TFormMain::BuildPageAdd()
{
    PageAdd = new QWidget;
    PageAdd->setObjectName(QStringLiteral("PageAdd"));
    EditNam1 = AddField(PageAdd, tr("点名"), 4, 72, 8, 118, QStringLiteral("K1"));
    EditDec1 = AddField(PageAdd, tr("点位描述"), 4, 72, 39, 118, QStringLiteral("校正点"));
    EditLat = AddField(PageAdd, tr("纬度(度)"), 4, 72, 70, 118, QStringLiteral("0"));
    EditLon = AddField(PageAdd, tr("经度(度)"), 4, 72, 101, 118, QStringLiteral("0"));
    EditH1 = AddField(PageAdd, tr("高程(m)"), 4, 72, 132, 118, QStringLiteral("0"));
    StaticText3 = AddAdvice(
        PageAdd, tr("可将GE的地标作为校正点，查地标属性可知经纬度。 采用后经纬度将转换为平面坐标。"),
        QRect(204, 8, 198, 80));
    Button1 = AddButton(PageAdd, tr("采用"), 316, 126, 86);
    return PageAdd;
}

QWidget* TFormMain::BuildPageOut()
{
    PageOut = new QWidget;
    PageOut->setObjectName(QStringLiteral("PageOut"));
    QGroupBox* group = AddGroup(PageOut, tr("数据格式编辑"));

    AddLabel(group, tr("备选框"), 10, 16, 110)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListBox1 = new QListWidget(group);
    ListBox1->setGeometry(ScaledRect(10, 38, 118, 120));
    QFont bold = ListBox1->font();
    bold.setBold(true);
    ListBox1->setFont(bold);

    // The four moving buttons stand in a column between the lists.
    SpeedButton1 = AddButton(group, QStringLiteral(">>"), 134, 38, 40, tr("添加全部字段"));
    SpeedButton2 = AddButton(group, QStringLiteral(">"), 134, 68, 40, tr("添加选择字段"));
    SpeedButton5 = AddButton(group, QStringLiteral("<<"), 134, 98, 40, tr("移除全部字段"));
    SpeedButton6 = AddButton(group, QStringLiteral("<"), 134, 128, 40, tr("移除选择字段"));

    AddLabel(group, tr("选择框"), 180, 16, 110)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListBox2 = new QListWidget(group);
    ListBox2->setGeometry(ScaledRect(180, 38, 118, 120));
    // The export takes each item's column from its leading digit, so every translation
    // of these items starts with the same digit.
    ListBox2->addItems({tr("0点名"), tr("1描述"), tr("3Y坐标"), tr("2X坐标"), tr("4高程H")});

    SpeedButton3 = AddButton(group, QStringLiteral("↑"), 304, 38, 34, tr("上移"));
    SpeedButton4 = AddButton(group, QStringLiteral("↓"), 304, 68, 34, tr("下移"));

    AddLabel(group, tr("分隔符"), 340, 38, 52)->setAlignment(Qt::AlignCenter);
    MaskEditFgf = new QLineEdit(QStringLiteral(","), group);
    MaskEditFgf->setGeometry(ScaledRect(350, 62, 34, kFieldHeight));
    MaskEditFgf->setMaxLength(1);
    MaskEditFgf->setAlignment(Qt::AlignCenter);

    Button2 = AddButton(group, tr("确定"), 304, 128, 86);
    return PageOut;
}

}  // namespace keldarn::app
