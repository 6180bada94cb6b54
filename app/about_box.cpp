#include "app/about_box.h"

#include "app/dialogs.h"
#include "app/program_icon.h"
#include "app/ui_scale.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>

namespace keldarn::app {

TAboutBox::TAboutBox(QWidget* owner, Dialogs& dialogs, const VersionInfoSource& versionInfo)
    : QDialog(owner)
{
    setWindowTitle(tr("关于..."));
    BuildLayout();
    resize(Scaled(686), Scaled(396));
    built_ = ReadVersionValues(dialogs, versionInfo);
}

void TAboutBox::BuildLayout()
{
    auto* panel = new QFrame;
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setMinimumWidth(Scaled(337));
    auto* inner = new QFrame;
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    panelLayout->addWidget(inner);

    ProgramIcon = new QLabel;
    ProgramIcon->setPixmap(ProgramPixmap(Scaled(119), Scaled(55)));
    ProgramIcon->setFixedSize(Scaled(119), Scaled(55));
    // Before the version values are read each label shows its own name.
    ProductName = new QLabel(QStringLiteral("ProductName"));
    FileVersion = new QLabel(QStringLiteral("FileVersion"));
    LegalCopyright = new QLabel(QStringLiteral("LegalCopyright"));
    CompanyName = new QLabel(QStringLiteral("CompanyName"));
    for (QLabel* label : {ProductName, LegalCopyright, CompanyName})
        label->setWordWrap(true);

    auto* grid = new QGridLayout(inner);
    grid->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop | Qt::AlignLeft);
    grid->addWidget(ProductName, 0, 1);
    grid->addWidget(FileVersion, 1, 1);
    grid->addWidget(LegalCopyright, 2, 0, 1, 2);
    grid->addWidget(CompanyName, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);

    Comments = new QPlainTextEdit;
    Comments->setReadOnly(true);
    Comments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont commentFont = Comments->font();
    commentFont.setPointSize(10);
    Comments->setFont(commentFont);
    Comments->setPlainText(QLatin1Char('\n') + tr("欢迎您使用本软件"));

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(panel);
    splitter->addWidget(Comments);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({Scaled(337), Scaled(686 - 337)});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}

bool TAboutBox::ReadVersionValues(Dialogs& dialogs, const VersionInfoSource& versionInfo)
{
    const std::optional<VersionInfo> info = versionInfo ? versionInfo() : std::nullopt;
    if (!info) {
        const QString message = QCoreApplication::translate("TAboutBox", kProductInfoFatal);
        dialogs.ShowMessage(parentWidget(), message, tr("错误"), MessageIcon::Error);
        return false;
    }
    if (info->productName)
        ProductName->setText(tr("产品名称:%1").arg(*info->productName));
    if (info->legalCopyright)
        LegalCopyright->setText(*info->legalCopyright);
    if (info->fileVersion)
        FileVersion->setText(tr("文件版本:%1").arg(*info->fileVersion));
    if (info->companyName)
        CompanyName->setText(*info->companyName);
    return true;
}

}  // namespace keldarn::app
