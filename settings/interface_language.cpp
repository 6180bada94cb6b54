#include "settings/interface_language.h"

#include "i18n/interface_text.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace keldarn::settings {
namespace {

constexpr std::string_view kChineseValue = "zh";
constexpr std::string_view kEnglishValue = "en";

// Messages of raster/, kml/, cad/ ... through the application's translators. Qt's
// translate is safe to call from the worker threads that make some of them.
std::string TranslateThroughQt(const char* context, const char* source)
{
    return QCoreApplication::translate(context, source).toStdString();
}

// The program's English texts from `dataDir`/translations/keldarn_en.qm.
bool LoadEnglish(QTranslator& translator, const std::filesystem::path& dataDir)
{
    return translator.load(QStringLiteral("keldarn_en"), QString::fromStdString((dataDir / "translations").string()));
}

// The translation of a program without QCoreApplication, loaded once and never changed,
// so that lookups from several threads only read it.
QTranslator& ModuleTranslator()
{
    static QTranslator* translator = new QTranslator;
    return *translator;
}

std::string TranslateThroughModuleTranslator(const char* context, const char* source)
{
    const QString text = ModuleTranslator().translate(context, source);
    return text.isEmpty() ? std::string(source) : text.toStdString();
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

bool InterfaceTranslation::Install(QCoreApplication& app, bool chinese, const std::filesystem::path& dataDir)
{
    if (chinese) {
        if (qt_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(&qt_);
        return true;
    }
    if (!LoadEnglish(program_, dataDir))
        return false;
    app.installTranslator(&program_);
    i18n::InstallTranslator(TranslateThroughQt);
    return true;
}

bool InstallModuleTranslation(const std::filesystem::path& dataDir)
{
    if (!LoadEnglish(ModuleTranslator(), dataDir))
        return false;
    i18n::InstallTranslator(TranslateThroughModuleTranslator);
    return true;
}

}  // namespace keldarn::settings
