// The interface language: which language a start chooses, where an installed copy finds
// its data, and the main window shown in each language.

#include "app/about_box.h"
#include "settings/install_layout.h"
#include "settings/interface_language.h"
#include "app/profile_window.h"
#include "app/ui_scale.h"
#include "app/version_info.h"
#include "i18n/interface_text.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QtTest>

using keldarn::settings::LanguageChoice;
using keldarn::testing::WindowFixture;

namespace {

// Every text of the main window a user reads: captions of controls, items of lists and
// menus, the table's titles, tooltips and the window title.
QStringList ShownTexts(const QWidget& window)
{
    QStringList texts{window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        texts << widget->toolTip();
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            texts << label->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            texts << button->text();
        else if (const auto* group = qobject_cast<const QGroupBox*>(widget))
            texts << group->title();
        else if (const auto* list = qobject_cast<const QListWidget*>(widget))
            for (int row = 0; row < list->count(); ++row)
                texts << list->item(row)->text();
        else if (const auto* table = qobject_cast<const QTableView*>(widget))
            for (int column = 0; column < table->model()->columnCount(); ++column)
                texts << table->model()->headerData(column, Qt::Horizontal).toString();
    }
    for (const QAction* action : window.findChildren<QAction*>())
        texts << action->text() << action->toolTip();
    // The same in both interfaces: the program's name, and the languages of the language
    // menu, each named in its own language.
    for (const QString& same : {QStringLiteral("Keldarn"), QStringLiteral("中文"), QStringLiteral("English")})
        texts.removeAll(same);
    texts.removeAll(QString());
    return texts;
}

// Texts that do not fit their control: a caption wider than its label, button or group
// frame, a wrapped text taller than its label, a column title wider than its column.
QStringList ClippedTexts(const QWidget& window)
{
    QStringList clipped;
    const auto check = [&clipped](const QString& text, bool fits) {
        if (!fits)
            clipped << text;
    };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        const QFontMetrics metrics = widget->fontMetrics();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
                continue;
            const QRect room = label->contentsRect();
            check(label->text(), label->wordWrap()
                                     ? label->heightForWidth(label->width()) <= label->height()
                                     : metrics.horizontalAdvance(label->text()) <= room.width());
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            check(button->text(), metrics.horizontalAdvance(button->text()) + 6 <= button->width());
        } else if (const auto* box = qobject_cast<const QCheckBox*>(widget)) {
            check(box->text(), box->sizeHint().width() <= box->width());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            check(group->title(), metrics.horizontalAdvance(group->title()) + 16 <= group->width());
        } else if (const auto* table = qobject_cast<const QTableView*>(widget)) {
            const QHeaderView* header = table->horizontalHeader();
            for (int column = 0; column < table->model()->columnCount(); ++column) {
                const QString title = table->model()->headerData(column, Qt::Horizontal).toString();
                check(title,
                      header->fontMetrics().horizontalAdvance(title) + 8 <= header->sectionSize(column));
            }
        }
    }
    return clipped;
}

const QRegularExpression
    kChinese(QStringLiteral("[\\x{3400}-\\x{9fff}\\x{3000}-\\x{303f}\\x{ff00}-\\x{ffef}]"));
// A word of the English interface: Latin letters in a text without any Chinese.
const QRegularExpression kLatinWord(QStringLiteral("[A-Za-z]{2,}"));

}  // namespace

class InterfaceLanguageTest : public QObject {
    Q_OBJECT

private slots:
    // The program's own font, so that the widths measured are those a user sees.
    void initTestCase() { keldarn::app::UseInterfaceFont(*qApp); }

    void followsTheChoiceThenTheSystem_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("systemLocale");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("system zh_CN") << QString() << "zh_CN" << true;
        QTest::newRow("system zh_TW") << QString() << "zh_TW" << true;
        QTest::newRow("system en_US") << QString() << "en_US" << false;
        QTest::newRow("system C") << QString() << "C" << false;
        QTest::newRow("system de_DE") << QString() << "de_DE" << false;
        QTest::newRow("zh on en_US") << "zh"
                                     << "en_US" << true;
        QTest::newRow("en on zh_CN") << "en"
                                     << "zh_CN" << false;
        QTest::newRow("unknown value follows the system") << "fr"
                                                          << "zh_CN" << true;
    }
    void followsTheChoiceThenTheSystem()
    {
        QFETCH(QString, setting);
        QFETCH(QString, systemLocale);
        QFETCH(bool, chinese);
        const LanguageChoice choice = keldarn::settings::ParseLanguageChoice(setting.toStdString());
        QCOMPARE(keldarn::settings::UsesChineseInterface(choice, QLocale(systemLocale)), chinese);
        if (choice != LanguageChoice::FollowSystem)
            QCOMPARE(QString::fromStdString(keldarn::settings::LanguageSettingValue(choice)), setting);
    }

    void installedCopyKeepsItsDataUnderShare()
    {
        QTemporaryDir root;
        const std::filesystem::path prefix = root.path().toStdString();
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("usr/bin"))));
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("build"))));
        // A folder named bin without share/keldarn beside it is not an installed copy.
        QVERIFY(!keldarn::settings::IsInstalledCopy(prefix / "usr" / "bin"));
        QCOMPARE(keldarn::settings::DataDirectory(prefix / "usr" / "bin"), prefix / "usr" / "bin");
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("usr/share/keldarn"))));
        QVERIFY(keldarn::settings::IsInstalledCopy(prefix / "usr" / "bin"));
        QCOMPARE(keldarn::settings::DataDirectory(prefix / "usr" / "bin"), prefix / "usr" / "share" / "keldarn");
        QCOMPARE(keldarn::settings::DataDirectory(prefix / "build"), prefix / "build");
    }

    // 设置 → 界面语言: the choice is kept for the next start, and shown checked then.
    void languageMenuKeepsTheChoice()
    {
        WindowFixture f;
        QMenu* languages = nullptr;
        for (const QAction* action : f.window->MSet->actions())
            if (action->text() == QStringLiteral("界面语言"))
                languages = action->menu();
        QVERIFY(languages != nullptr);
        const auto checked = [](const QMenu* menu) {
            QStringList texts;
            for (const QAction* action : menu->actions())
                if (action->isChecked())
                    texts << action->text();
            return texts;
        };
        QCOMPARE(checked(languages), QStringList{QStringLiteral("跟随系统")});
        f.dialogs.messages.clear();
        languages->actions().at(2)->trigger();
        QVERIFY(f.SettingsText().contains("[Interface]\nLanguage=en"));
        QCOMPARE(f.dialogs.MessageTexts(), QStringList{QStringLiteral("界面语言将在下次启动程序时更改。")});

        WindowFixture next(false, f.SettingsText(), true);
        for (const QAction* action : next.window->MSet->actions())
            if (action->text() == QStringLiteral("界面语言"))
                QCOMPARE(checked(action->menu()), QStringList{QStringLiteral("English")});
    }

    void englishWindowShowsNoChinese()
    {
        keldarn::settings::InterfaceTranslation translation;
        QVERIFY2(translation.Install(*QCoreApplication::instance(), false, KELDARN_DATA_DIR),
                 "translations/keldarn_en.qm is not in the build folder");
        WindowFixture fixture;
        QStringList chinese;
        // The About box with the compiled version values, and the program's own names of
        // things: a route picked on the map, the files it proposes.
        keldarn::app::TAboutBox about(fixture.window.get(), fixture.dialogs,
                                      keldarn::app::CompiledVersionInfo);
        QStringList own = ShownTexts(about);
        own << QCoreApplication::translate("TFormMain", keldarn::app::kPickedRouteName)
            << QCoreApplication::translate("keldarn::app::ControlPointsDialog", "控制点")
            << QCoreApplication::translate("keldarn::cad::DrawingWindow", "未命名");
        for (const QString& text : ShownTexts(*fixture.window) + own)
            if (text.contains(kChinese))
                chinese << text;
        const QStringList clipped = ClippedTexts(*fixture.window);
        // Messages made outside the window code follow the same translation.
        const std::string message = keldarn::i18n::Translate("raster", "文件中没有栅格波段");
        const std::string number =
            keldarn::i18n::Format(keldarn::i18n::Translate("geodesy", "“%1”不是有效的数值"), {"1e400"});
        keldarn::i18n::InstallTranslator(nullptr);
        QCOMPARE(QString::fromStdString(number),
                 QStringLiteral("'1e400' is not a valid floating point value"));
        // The guide in the interface's language lies beside the executable.
        QVERIFY(QFile::exists(QStringLiteral(KELDARN_DATA_DIR "/help_en.html")));
        QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(QLatin1Char('\n'))));
        QVERIFY(!QString::fromStdString(message).contains(kChinese));
        QVERIFY2(clipped.isEmpty(),
                 qPrintable(QStringLiteral("clipped: ") + clipped.join(QLatin1String(" | "))));
    }

    void chineseWindowShowsNoEnglish()
    {
        WindowFixture fixture;
        QStringList english;
        for (const QString& text : ShownTexts(*fixture.window))
            if (!text.contains(kChinese) && text.contains(kLatinWord))
                english << text;
        QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1Char('\n'))));
        const QStringList clipped = ClippedTexts(*fixture.window);
        QVERIFY2(clipped.isEmpty(),
                 qPrintable(QStringLiteral("clipped: ") + clipped.join(QLatin1String(" | "))));
    }
};

QTEST_MAIN(InterfaceLanguageTest)
#include "interface_language_test.moc"
