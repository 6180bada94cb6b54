#include "app/help_window.h"

#include "app/ui_scale.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <stdexcept>

namespace keldarn::app {

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("帮助"));  // the program's name follows, as in every window
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(Scaled(760), Scaled(640));
}

void HelpWindow::ShowGuide(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable())
        throw std::runtime_error(tr("找不到帮助文件“%1”。").arg(path).toStdString());
    const QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    // Reloaded each time, so a guide replaced while the program runs is shown as it is now.
    if (browser_->source() == url)
        browser_->reload();
    else
        browser_->setSource(url);
    if (isMinimized()) {
        showNormal();
    } else if (!isVisible()) {
        // Over the middle of the main window, where the user is looking.
        if (const QWidget* owner = parentWidget())
            move(owner->frameGeometry().center() - rect().center());
        show();
    }
    raise();
    activateWindow();
}

}  // namespace keldarn::app
