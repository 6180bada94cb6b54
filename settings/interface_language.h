#pragma once

// The language of the interface. The texts of the code are Chinese; the English interface
// is the translation translations/keldarn_en.ts (keldarn_en.qm beside the executable or
// under <prefix>/share/keldarn/translations). The language follows the system's locale
// (Chinese for zh_*, English for any other) unless the user chose one under 设置; the
// choice is kept in the settings file's section [Interface] and takes effect at the next
// start. Data never depends on it: files are written the same in either language.

#include <QLocale>
#include <QTranslator>

#include <filesystem>
#include <string>
#include <string_view>

class QCoreApplication;

namespace keldarn::settings {

enum class LanguageChoice { FollowSystem, Chinese, English };

// The settings value of a choice ("" for FollowSystem, "zh", "en") and back; a value that
// is not one of these follows the system.
std::string LanguageSettingValue(LanguageChoice choice);
LanguageChoice ParseLanguageChoice(std::string_view value);

bool UsesChineseInterface(LanguageChoice choice, const QLocale& systemLocale);

// The program's translators, kept alive while the application runs.
class InterfaceTranslation {
public:
    // Installs the interface's language on `app`: for English the program's translation
    // from `dataDir`/translations, for Chinese Qt's own Chinese texts (the buttons of its
    // dialogs). Messages of the modules without Qt follow through i18n::Translate.
    // Returns false when the English translation cannot be loaded; the interface then
    // stays Chinese.
    bool Install(QCoreApplication& app, bool chinese, const std::filesystem::path& dataDir);

private:
    QTranslator program_;
    QTranslator qt_;
};

// For a program without a QCoreApplication (keldarn-cli): the English texts of the
// modules' messages from `dataDir`/translations, through i18n::Translate, for the rest of
// the process. Returns false when the translation cannot be loaded (the texts stay Chinese).
bool InstallModuleTranslation(const std::filesystem::path& dataDir);

}  // namespace keldarn::settings
