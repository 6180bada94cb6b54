#include "app/interface_language.h"

#include "app/ui_scale.h"
#include "i18n/interface_text.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>

namespace keldarn::app {
namespace {

constexpr std::string_view kChineseValue = "zh";
constexpr std::string_view kEnglishValue = "en";

// Messages of raster/, kml/, cad/ ... through the application's translators. Qt's
// translate is safe to call from the worker threads that make some of them.
std::string TranslateThroughQt(const char* context, const char* source)
{
    return QCoreApplication::translate(context, source).toStdString();
}

}  // namespace

std::string LanguageSettingValue(LanguageChoice choice)
{
    switch (choice) {
    case LanguageChoice::Chinese:
        return std::string(kChineseValue);
    case LanguageChoice::English:
        return std::string(kEnglishValue);
    case LanguageChoice::FollowSystem:
        break;
    }
    return {};
}

LanguageChoice ParseLanguageChoice(std::string_view value)
{
    if (value == kChineseValue)
        return LanguageChoice::Chinese;
    if (value == kEnglishValue)
        return LanguageChoice::English;
    return LanguageChoice::FollowSystem;
}

bool UsesChineseInterface(LanguageChoice choice, const QLocale& systemLocale)
{
    switch (choice) {
    case LanguageChoice::Chinese:
        return true;
    case LanguageChoice::English:
        return false;
    case LanguageChoice::FollowSystem:
        break;
    }
    // The user's language list ($LANGUAGE, then LC_ALL, LC_MESSAGES, LANG on Linux)
    // decides, not the locale of numbers and dates.
    const QStringList languages = systemLocale.uiLanguages();
    return !languages.isEmpty() && languages.first().startsWith(QLatin1String("zh"));
}

void UseInterfaceFont(QGuiApplication& app)
{
    QFont font = QGuiApplication::font();
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(Scaled(14));
    app.setFont(font);
}

bool InterfaceTranslation::Install(QCoreApplication& app, bool chinese, const std::filesystem::path& dataDir)
{
    if (chinese) {
        if (qt_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(&qt_);
        return true;
    }
    const QString folder = QString::fromStdString((dataDir / "translations").string());
    if (!program_.load(QStringLiteral("keldarn_en"), folder))
        return false;
    app.installTranslator(&program_);
    i18n::InstallTranslator(TranslateThroughQt);
    return true;
}

}  // namespace keldarn::app
