#pragma once

#include <QPixmap>

namespace keldarn::app {

// The program's picture: contour lines of a hill with a surveyed point on it.
QPixmap ProgramPixmap(int widthPx, int heightPx);

}  // namespace keldarn::app
