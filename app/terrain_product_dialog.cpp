#include "app/terrain_product_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace keldarn::app {

namespace {

// Marked for translation in the context TerrainProductDialog.
struct ProductTexts {
    const char* title;
    const char* sourceCaption;
    const char* stepLabel;
    const char* hint;
};

ProductTexts TextsOf(TerrainProduct product)
{
    switch (product) {
    case TerrainProduct::Profile:
        return {QT_TRANSLATE_NOOP("TerrainProductDialog", "纵断面"),
                QT_TRANSLATE_NOOP("TerrainProductDialog", "路线"),
                QT_TRANSLATE_NOOP("TerrainProductDialog", "采样间距(米)："),
                QT_TRANSLATE_NOOP("TerrainProductDialog", "沿路线每隔采样间距取一点，路线的每个顶点都取。"
                                                          "里程默认在测量坐标平面上量取，与CAD图形一致。")};
    case TerrainProduct::BoundarySampling:
        return {QT_TRANSLATE_NOOP("TerrainProductDialog", "区域采点"),
                QT_TRANSLATE_NOOP("TerrainProductDialog", "区域边界"),
                QT_TRANSLATE_NOOP("TerrainProductDialog", "格网间距(米)："),
                QT_TRANSLATE_NOOP("TerrainProductDialog",
                                  "在测量坐标的整数格网上（X、Y为间距的整数倍）取边界以内的点，"
                                  "洞内不取。按Esc可取消。")};
    case TerrainProduct::Contours:
        break;
    }
    return {QT_TRANSLATE_NOOP("TerrainProductDialog", "等高线到CAD图形"),
            QT_TRANSLATE_NOOP("TerrainProductDialog", "范围"),
            QT_TRANSLATE_NOOP("TerrainProductDialog", "等高距(米)："),
            QT_TRANSLATE_NOOP("TerrainProductDialog", "按高程数据的原分辨率生成等高线，每五条一条计曲线，"
                                                      "画入CAD图形的“首曲线”“计曲线”图层。")};
}

}  // namespace

TerrainProductDialog::TerrainProductDialog(QWidget* owner, TerrainProduct product,
                                           const TerrainProductChoice& current)
    : QDialog(owner)
{
    const ProductTexts texts = TextsOf(product);
    setWindowTitle(QCoreApplication::translate("TerrainProductDialog", texts.title));

    auto* sourceBox = new QGroupBox(QCoreApplication::translate("TerrainProductDialog", texts.sourceCaption));
    auto* sourceLayout = new QVBoxLayout(sourceBox);
    sources_ = new QButtonGroup(this);
    const auto addSource = [&](ShapeSource source, const QString& text, const char* name) {
        auto* button = new QRadioButton(text);
        button->setObjectName(QString::fromLatin1(name));
        sources_->addButton(button, static_cast<int>(source));
        sourceLayout->addWidget(button);
    };
    const bool area = product != TerrainProduct::Profile;
    if (product == TerrainProduct::Contours)
        addSource(ShapeSource::View, tr("地图窗中的地面"), "SourceView");
    addSource(ShapeSource::KmlFile, area ? tr("KML/KMZ文件中的多边形...") : tr("KML/KMZ文件中的路径..."),
              "SourceKml");
    addSource(ShapeSource::Drawing, area ? tr("CAD图形中选取的闭合多段线") : tr("CAD图形中选取的多段线"),
              "SourceDrawing");
    addSource(ShapeSource::Map, tr("在地图上点选（左键加点，右键或回车结束，Esc取消）"), "SourceMap");
    QAbstractButton* chosen = sources_->button(static_cast<int>(current.source));
    (chosen ? chosen : sources_->buttons().front())->setChecked(true);

    step_ = new QLineEdit(current.stepText);
    step_->setObjectName(QStringLiteral("ProductStep"));
    auto* form = new QFormLayout;
    form->addRow(QCoreApplication::translate("TerrainProductDialog", texts.stepLabel), step_);
    if (product == TerrainProduct::Profile) {
        ellipsoid_ = new QCheckBox(tr("里程按椭球面距离（大地线）量取"));
        ellipsoid_->setObjectName(QStringLiteral("EllipsoidChainage"));
        ellipsoid_->setChecked(current.ellipsoidChainage);
        form->addRow(QString(), ellipsoid_);
    }
    auto* hint = new QLabel(QCoreApplication::translate("TerrainProductDialog", texts.hint));
    hint->setWordWrap(true);

    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sourceBox);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    step_->setFocus();
    step_->selectAll();
}

TerrainProductChoice TerrainProductDialog::Choice() const
{
    TerrainProductChoice choice;
    choice.source = static_cast<ShapeSource>(sources_->checkedId());
    choice.stepText = step_->text().trimmed();
    choice.ellipsoidChainage = ellipsoid_ != nullptr && ellipsoid_->isChecked();
    return choice;
}

}  // namespace keldarn::app
