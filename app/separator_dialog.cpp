#include "app/separator_dialog.h"

#include "points/export_writer.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keldarn::app {

SeparatorDialog::SeparatorDialog(QWidget* owner, const QString& text, const QString& separator,
                                 const QString& suggested)
    : QDialog(owner), separator_(separator)
{
    setWindowTitle(tr("分隔符冲突"));
    auto* message = new QLabel(text);
    message->setObjectName(QStringLiteral("ClashText"));
    message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    replacement_ = new QLineEdit(suggested);
    replacement_->setObjectName(QStringLiteral("ReplacementEdit"));
    replacement_->setMaxLength(2);  // room for a character outside the BMP (two UTF-16 units)
    replacement_->setAlignment(Qt::AlignCenter);
    // Wide enough for one character of any script, so the field says that one is wanted.
    replacement_->setFixedWidth(replacement_->fontMetrics().horizontalAdvance(QStringLiteral("中中中")) + 16);
    replacement_->selectAll();
    hint_ = new QLabel(tr("替换字符须是一个字符，不能是分隔符，也不能是换行等控制字符。"));
    hint_->setObjectName(QStringLiteral("ReplacementHint"));
    auto* field = new QFormLayout;
    field->addRow(tr("替换为："), replacement_);

    auto* buttons = new QDialogButtonBox;
    replace_ = buttons->addButton(tr("替换并导出"), QDialogButtonBox::AcceptRole);
    replace_->setDefault(true);
    buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(replacement_, &QLineEdit::textChanged, this, &SeparatorDialog::UpdateAcceptance);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addLayout(field);
    layout->addWidget(hint_);
    layout->addWidget(buttons);
    UpdateAcceptance();
}

QString SeparatorDialog::Replacement() const
{
    return replacement_->text();
}

void SeparatorDialog::UpdateAcceptance()
{
    const bool valid =
        points::IsSeparatorReplacement(replacement_->text().toStdString(), separator_.toStdString());
    replace_->setEnabled(valid);
    hint_->setVisible(!valid);
}

}  // namespace keldarn::app
