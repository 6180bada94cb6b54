#include "app/about_box.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/program_icon.h"
#include "app/ui_scale.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

namespace {

// Texts are Chinese: prefer a CJK sans-serif face, 14 pixels high at 120 dpi.
void SetInterfaceFont(QApplication& app)
{
    QFont font = app.font();
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(keldarn::app::Scaled(14));
    app.setFont(font);
}

// Qt's own buttons and dialogs in Chinese, when the translations are installed.
void LoadQtTranslations(QApplication& app, QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keldarn"));
    QApplication::setApplicationDisplayName(QStringLiteral("Keldarn"));
    QApplication::setWindowIcon(QIcon(keldarn::app::ProgramPixmap(64, 64)));
    QTranslator qtTranslator;
    LoadQtTranslations(app, qtTranslator);
    SetInterfaceFont(app);

    keldarn::app::QtDialogs dialogs;
    keldarn::app::TFormMain mainWindow(keldarn::app::DefaultEnvironment(dialogs));

    // The About window is built once at start: an executable without version values
    // stops here with the fatal message.
    keldarn::app::TAboutBox about(&mainWindow, dialogs, keldarn::app::CompiledVersionInfo);
    if (!about.built())
        return 1;

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainWindow.move(screen->availableGeometry().center() - mainWindow.rect().center());
    mainWindow.showMaximized();
    return app.exec();
}
