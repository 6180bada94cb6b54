#pragma once

// A user in front of the real modal windows: waits for each modal window the program
// opens, answers it with real key and mouse events, and notes every window that is still
// open seconds after its answer, or that nobody expected. Such a window is then closed by
// force (hidden, which no input filter can prevent), so a frozen window fails
// the test instead of hanging it.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>

namespace keldarn::testing {

class RealUser : public QObject {
public:
    using Answer = std::function<void(QWidget* modal)>;

    explicit RealUser(int patienceMs = 3000) : patienceMs_(patienceMs)
    {
        connect(&poll_, &QTimer::timeout, this, &RealUser::Poll);
        poll_.start(20);
    }

    // The answers to the next modal windows, in turn.
    RealUser& Then(Answer answer)
    {
        answers_.push_back(std::move(answer));
        return *this;
    }
    // An answer before all others given so far.
    void First(Answer answer) { answers_.push_front(std::move(answer)); }

    static Answer Press(Qt::Key key)
    {
        return [key](QWidget* modal) {
            QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
            QTest::keyClick(target, key);
        };
    }
    // A mouse click on the button with this text.
    static Answer Click(const QString& text)
    {
        return [text](QWidget* modal) {
            for (QAbstractButton* button : modal->findChildren<QAbstractButton*>())
                if (button->isVisible() && button->text().remove(QLatin1Char('&')) == text) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            QFAIL(qPrintable(QStringLiteral("no button \"%1\"").arg(text)));
        };
    }
    // The window's close button, as the window manager sends it.
    static Answer CloseWindow()
    {
        return [](QWidget* modal) { modal->close(); };
    }
    // Pastes a path into a file dialog's name field and presses Enter. (Typed key by key,
    // a path makes a folder dialog select each folder on the way and quote their names.)
    static Answer TypeFileName(const QString& path)
    {
        return [path](QWidget* modal) {
            auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY2(edit != nullptr, "not a file dialog");
            edit->setFocus();
            edit->setText(path);
            QTest::keyClick(edit, Qt::Key_Return);
        };
    }

    // "caption: text" of every modal window answered, in turn.
    QStringList seen;
    // Modal windows that stayed open after their answer, or came unexpected.
    QStringList stuck;

    bool AllAnswered() const { return answers_.empty(); }

private:
    static QString Describe(QWidget* modal)
    {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            return box->text();
        return modal->windowTitle();
    }

    void ForceClose(QWidget* modal, const QString& why)
    {
        stuck << why + QStringLiteral(": ") + Describe(modal);
        // Hiding ends a dialog's exec() without a close event that a filter could swallow.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->setResult(QDialog::Rejected);
        modal->hide();
        current_ = nullptr;
    }

    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        if (modal == current_) {
            if (clock_.elapsed() > patienceMs_)
                ForceClose(modal, QStringLiteral("did not close"));
            return;
        }
        if (answers_.empty()) {
            ForceClose(modal, QStringLiteral("unexpected"));
            return;
        }
        current_ = modal;
        // A message box lives on the stack: the next one may reuse its address.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            connect(dialog, &QDialog::finished, this, [this] { current_ = nullptr; });
        clock_.restart();
        seen << Describe(modal);
        Answer answer = std::move(answers_.front());
        answers_.pop_front();
        answer(modal);
    }

    QTimer poll_;
    QElapsedTimer clock_;
    QPointer<QWidget> current_;
    std::deque<Answer> answers_;
    int patienceMs_;
};

}  // namespace keldarn::testing
