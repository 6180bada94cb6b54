#pragma once

// Window sizes are designed in pixels at 120 dots per inch and scaled to the screen's
// logical resolution at start (to four fifths at 96 dots per inch); so is the font.

#include <QFont>
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

// The interface's font in either language: Chinese texts appear in both (point names,
// descriptions, layer names), so a CJK sans-serif face, 14 pixels high at 120 dpi.
inline void UseInterfaceFont(QGuiApplication& app)
{
    QFont font = QGuiApplication::font();
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(Scaled(14));
    app.setFont(font);
}

}  // namespace keldarn::app
