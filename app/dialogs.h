#pragma once

// Every modal interaction of the main window (message boxes, questions, open and save
// dialogs) goes through Dialogs, so that tests can answer dialogs and read the
// messages shown. QtDialogs is the interactive implementation.

#include <QString>

#include <optional>

class QWidget;

namespace keldarn::app {

enum class MessageIcon { Information, Warning, Error };

// Settings of one file dialog, kept by its owner between uses. The filter is written
// as pairs "shown text|pattern|shown text|pattern".
struct FileDialogOptions {
    QString title;
    QString filter;
    QString defaultSuffix;  // without the dot; added when the typed name has none
    QString fileName;
};

// The imagery layer as 设置 → 影像图层... shows and returns it.
struct ImageryChoice {
    QString source;  // file, folder or service address; empty for none
    int opacityPercent = 100;
    bool visible = true;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) = 0;
    // True for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& title) = 0;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString GetSaveFileName(QWidget* owner, const FileDialogOptions& options) = 0;
    virtual QString GetOpenFileName(QWidget* owner, const FileDialogOptions& options) = 0;
    // A folder, or an empty text when the user cancelled.
    virtual QString GetExistingDirectory(QWidget* owner, const QString& title) = 0;
    // One line of text, starting from `text`; a null text when the user cancelled. Without
    // a user to ask (an implementation that does not override it) every request is cancelled.
    virtual QString GetText(QWidget* owner, const QString& title, const QString& label, const QString& text);
    // The imagery layer, starting from `current`; nothing when the user cancelled. Without a
    // user to ask every request is cancelled.
    virtual std::optional<ImageryChoice> ChooseImagery(QWidget* owner, const ImageryChoice& current);
};

class QtDialogs : public Dialogs {
public:
    void ShowMessage(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) override;
    bool AskYesNo(QWidget* owner, const QString& text, const QString& title) override;
    QString GetSaveFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString GetOpenFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString GetExistingDirectory(QWidget* owner, const QString& title) override;
    QString GetText(QWidget* owner, const QString& title, const QString& label, const QString& text) override;
    std::optional<ImageryChoice> ChooseImagery(QWidget* owner, const ImageryChoice& current) override;
};

// "Text files (*.dat)|*.dat|All (*.*)|*.*" → "Text files (*.dat *.DAT);;All (*)".
// Patterns of one entry are separated by ';'; each is offered in lower and upper case;
// "*.*" means every file, also those without an extension.
QString QtFilterFromPairs(const QString& pairs);

}  // namespace keldarn::app
