#pragma once

#include <QPainter>
#include <QPixmap>

namespace keldarn::app {

// Paints the program's picture on any device (a pixmap, an image, an SVG generator) over
// the rectangle (0, 0)–(widthPx, heightPx), background included.
void PaintProgramIcon(QPainter& painter, double widthPx, double heightPx);

// The program's picture: contour lines of a hill with a surveyed point on it.
QPixmap ProgramPixmap(int widthPx, int heightPx);

}  // namespace keldarn::app
