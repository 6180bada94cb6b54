// Files handed to the program from outside (its command line, a file manager), and the
// interface language chosen in the settings menu.

#include "settings/interface_language.h"
#include "app/main_window.h"
#include "cad/drawing_host.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QMenu>

namespace keldarn::app {

void TFormMain::OpenFiles(const QStringList& paths)
{
    waitingFiles_ += paths;
    OpenWaitingFiles();
}

void TFormMain::OpenWaitingFiles()
{
    while (!waitingFiles_.isEmpty() && !SurveyTaskRunning()) {
        const QString path = waitingFiles_.takeFirst();
        const QFileInfo file(path);
        if (!file.isFile()) {
            ShowError(tr("文件“%1”不存在或无法读取。").arg(path));
            continue;
        }
        const QString suffix = file.suffix().toLower();
        RunCommand([&] {
            if (suffix == QLatin1String("kml") || suffix == QLatin1String("kmz"))
                ShowKmlOnMap(file.absoluteFilePath());
            else if (suffix == QLatin1String("dxf"))
                drawingHost_->OpenDxf(file.absoluteFilePath(), this);
            else if (ImportFieldsChosen())
                ImportPointsFile(file.absoluteFilePath());
        });
    }
}

void TFormMain::AddLanguageMenu(QMenu* settingsMenu)
{
    QMenu* languages = settingsMenu->addMenu(tr("界面语言"));
    auto* group = new QActionGroup(languages);
    const std::string chosen =
        settings::LanguageSettingValue(settings::ParseLanguageChoice(settings::LoadInterfaceLanguage(env_.settingsPath)));
    // Each language is named in its own language, so that a user who cannot read the
    // current one still finds theirs.
    const std::pair<QString, settings::LanguageChoice> entries[] = {
        {tr("跟随系统"), settings::LanguageChoice::FollowSystem},
        {QStringLiteral("中文"), settings::LanguageChoice::Chinese},
        {QStringLiteral("English"), settings::LanguageChoice::English},
    };
    for (const auto& [text, choice] : entries) {
        const std::string value = settings::LanguageSettingValue(choice);
        QAction* action = languages->addAction(text);
        action->setCheckable(true);
        action->setChecked(value == chosen);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, value] { RunCommand([this, value] { ChooseInterfaceLanguage(value); }); });
    }
}

void TFormMain::ChooseInterfaceLanguage(const std::string& value)
{
    settings::SaveInterfaceLanguage(env_.settingsPath, value);
    ShowInfo(tr("界面语言将在下次启动程序时更改。"));
}

}  // namespace keldarn::app
