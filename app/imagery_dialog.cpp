#include "app/imagery_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace keldarn::app {

ImageryDialog::ImageryDialog(QWidget* owner, const ImageryChoice& current) : QDialog(owner)
{
    setWindowTitle(tr("影像图层"));
    source_ = new QLineEdit(current.source);
    source_->setObjectName(QStringLiteral("ImagerySource"));
    source_->setPlaceholderText(tr("影像文件、文件夹，或 https://…/{z}/{x}/{y}.png"));
    source_->setMinimumWidth(460);
    auto* file = new QPushButton(tr("文件..."));
    auto* folder = new QPushButton(tr("文件夹..."));
    auto* clear = new QPushButton(tr("不用影像"));
    for (QPushButton* button : {file, folder, clear})
        button->setAutoDefault(false);
    connect(file, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, tr("打开影像文件"), {},
            tr("影像 (*.tif *.tiff *.jpg *.jpeg *.png *.jp2 *.mbtiles *.vrt);;所有文件 (*)"));
        if (!path.isEmpty())
            source_->setText(path);
    });
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getExistingDirectory(this, tr("选择影像分幅文件夹"));
        if (!path.isEmpty())
            source_->setText(path);
    });
    connect(clear, &QPushButton::clicked, source_, &QLineEdit::clear);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(source_, 1);
    sourceRow->addWidget(file);
    sourceRow->addWidget(folder);
    sourceRow->addWidget(clear);

    opacity_ = new QSpinBox;
    opacity_->setObjectName(QStringLiteral("ImageryOpacity"));
    opacity_->setRange(0, 100);
    opacity_->setSuffix(QStringLiteral(" %"));
    opacity_->setValue(current.opacityPercent);
    visible_ = new QCheckBox(tr("显示影像（不显示时只有地形晕渲）"));
    visible_->setObjectName(QStringLiteral("ImageryVisible"));
    visible_->setChecked(current.visible);

    auto* hint = new QLabel(
        tr("瓦片服务的网址模板须含 {z}、{x}、{y}（TMS 用 {-y}）；WMTS 填能力文档网址，WMS 以 WMS: 开头。\n"
           "服务的瓦片缓存在本机，看过的地方断网后仍可显示。"));
    hint->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("影像来源："), sourceRow);
    form->addRow(tr("不透明度："), opacity_);
    form->addRow(QString(), visible_);
    QDialogButtonBox* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    source_->setFocus();
}

ImageryChoice ImageryDialog::Choice() const
{
    return {source_->text().trimmed(), opacity_->value(), visible_->isChecked()};
}

}  // namespace keldarn::app
