#pragma once

// The user's guide, shown in a window of the program's own, so that no browser or
// desktop handler is needed. Links inside the guide are followed in the window; links to
// web addresses go to the desktop's browser.

#include <QWidget>

class QTextBrowser;

namespace keldarn::app {

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    // A top-level window that closes with `owner`.
    explicit HelpWindow(QWidget* owner);

    // Loads the guide (an HTML file) and brings the window to the front. Throws
    // std::runtime_error naming the file when it cannot be read.
    void ShowGuide(const QString& path);

    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace keldarn::app
