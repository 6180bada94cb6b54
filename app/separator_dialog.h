#pragma once

// Asked by the export before anything is written when names or descriptions hold the
// separator or a line break: the character that replaces them, or a cancel.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace keldarn::app {

class SeparatorDialog : public QDialog {
    Q_OBJECT

public:
    // text: which rows hold what, as the export words it; separator: as the export page
    // holds it; suggested: the character the field starts with.
    SeparatorDialog(QWidget* owner, const QString& text, const QString& separator, const QString& suggested);

    QString Replacement() const;

private:
    void UpdateAcceptance();

    QString separator_;
    QLineEdit* replacement_;
    QLabel* hint_;
    QPushButton* replace_;
};

}  // namespace keldarn::app
