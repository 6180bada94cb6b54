#pragma once

// Window sizes are designed in pixels at 120 dots per inch and scaled to the screen's
// logical resolution at start (to four fifths at 96 dots per inch).

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace keldarn::app {

inline double UiScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    return dpi / 120.0;
}

// A length in pixels at 120 dpi, in pixels on this screen.
inline int Scaled(int px120)
{
    return static_cast<int>(std::lround(px120 * UiScale()));
}

}  // namespace keldarn::app
