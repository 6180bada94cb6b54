// Writes the program's icon for the desktop's hicolor theme: keldarn.svg and keldarn.png
// in each size folder under the output folder (scalable/apps/, 16x16/apps/, ...), all
// painted by the same code as the window icon.
//
//     keldarn-render-icons OUTPUT_DIR

#include "app/program_icon.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int kPngSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The SVG's user space: the picture is drawn on 64 × 64 units and scales from there.
constexpr int kSvgSize = 64;

bool WriteSvg(const QString& path)
{
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kSvgSize, kSvgSize));
    svg.setViewBox(QRect(0, 0, kSvgSize, kSvgSize));
    svg.setTitle(QStringLiteral("Keldarn"));
    QPainter painter;
    if (!painter.begin(&svg))
        return false;
    keldarn::app::PaintProgramIcon(painter, kSvgSize, kSvgSize);
    return painter.end();
}

bool WritePng(const QString& path, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    keldarn::app::PaintProgramIcon(painter, size, size);
    painter.end();
    return image.save(path, "PNG");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: keldarn-render-icons OUTPUT_DIR\n");
        return 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    bool written = root.mkpath(QStringLiteral("scalable/apps")) &&
                   WriteSvg(root.filePath(QStringLiteral("scalable/apps/keldarn.svg")));
    for (const int size : kPngSizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        written = written && root.mkpath(folder) && WritePng(root.filePath(folder + QStringLiteral("/keldarn.png")), size);
    }
    if (!written) {
        std::fprintf(stderr, "keldarn-render-icons: cannot write the icons under %s\n", argv[1]);
        return 2;
    }
    return 0;
}
