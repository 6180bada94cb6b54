#pragma once

#include "app/version_info.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace keldarn::app {

class Dialogs;

// The About window. It is built afresh for every showing; building it reads the
// version values, and an executable without any shows a fatal message instead.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    TAboutBox(QWidget* owner, Dialogs& dialogs, const VersionInfoSource& versionInfo);

    // False when the version information could not be read; the program must then end.
    bool built() const { return built_; }

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* FileVersion = nullptr;
    QLabel* LegalCopyright = nullptr;
    QLabel* CompanyName = nullptr;
    QPlainTextEdit* Comments = nullptr;

private:
    void BuildLayout();
    bool ReadVersionValues(Dialogs& dialogs, const VersionInfoSource& versionInfo);

    bool built_ = false;
};

// Message shown when the executable carries no version information.
inline constexpr const char* kProductInfoFatal =
    QT_TRANSLATE_NOOP("TAboutBox", "获取产品信息时遇到致命错误，请尝试重新启动软件。");

}  // namespace keldarn::app
