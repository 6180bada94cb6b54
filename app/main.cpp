#include "app/about_box.h"
#include "app/dialogs.h"
#include "settings/install_layout.h"
#include "settings/interface_language.h"
#include "app/main_window.h"
#include "app/program_icon.h"
#include "settings/settings.h"
#include "app/ui_scale.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keldarn"));
    QApplication::setApplicationDisplayName(QStringLiteral("Keldarn"));
    QApplication::setWindowIcon(QIcon(keldarn::app::ProgramPixmap(64, 64)));
    // The interface language: the user's choice in the settings file, else the system's.
    const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
    const std::filesystem::path dataDir = keldarn::settings::DataDirectory(exeDir);
    const keldarn::settings::LanguageChoice choice =
        keldarn::settings::ParseLanguageChoice(keldarn::settings::LoadInterfaceLanguage(keldarn::settings::DefaultSettingsPath(exeDir)));
    bool chinese = keldarn::settings::UsesChineseInterface(choice, QLocale::system());
    keldarn::settings::InterfaceTranslation translation;
    if (!translation.Install(app, chinese, dataDir)) {
        std::fprintf(stderr, "keldarn: the English translation is missing under %s; the interface stays Chinese\n",
                     dataDir.c_str());
        chinese = true;
        translation.Install(app, chinese, dataDir);
    }
    keldarn::app::UseInterfaceFont(app);

    keldarn::app::QtDialogs dialogs;
    keldarn::app::TFormMain mainWindow(keldarn::app::DefaultEnvironment(dialogs, chinese));

    // The About window is built once at start: an executable without version values
    // stops here with the fatal message.
    keldarn::app::TAboutBox about(&mainWindow, dialogs, keldarn::app::CompiledVersionInfo);
    if (!about.built())
        return 1;

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainWindow.move(screen->availableGeometry().center() - mainWindow.rect().center());
    mainWindow.showMaximized();
    // keldarn FILE...: opened once the window is shown and its event loop turns, as a
    // file manager's "open with" would.
    const QStringList files = QCoreApplication::arguments().mid(1);
    if (!files.isEmpty())
        QTimer::singleShot(0, &mainWindow, [&mainWindow, files] { mainWindow.OpenFiles(files); });
    return app.exec();
}
