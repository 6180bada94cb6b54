#include "earth/imagery_drape.h"

#include <algorithm>
#include <cmath>

namespace keldarn::earth {

ImageryDrape::ImageryDrape(std::vector<std::shared_ptr<const raster::GeoImage>> coarseToFine, double opacity)
    : images_(std::move(coarseToFine)), opacity_(std::clamp(opacity, 0.0, 1.0))
{
    std::erase_if(images_, [](const auto& image) {
        return !image || image->widthPx <= 0 || image->heightPx <= 0 || image->argb.empty();
    });
}

std::size_t ImageryDrape::Bytes() const
{
    std::size_t bytes = 0;
    for (const auto& image : images_)
        bytes += image->argb.size() * sizeof(std::uint32_t);
    return bytes;
}

DrapeSampler::DrapeSampler(const ImageryDrape& drape, const GridGeometry& grid)
    : opacity_(static_cast<float>(drape.Opacity()))
{
    const auto& images = drape.Images();
    for (auto it = images.rbegin(); it != images.rend(); ++it) {
        const raster::GeoImage& image = **it;
        const double pxPerLonDeg = image.widthPx / (image.bounds.eastDeg - image.bounds.westDeg);
        const double pxPerLatDeg = image.heightPx / (image.bounds.northDeg - image.bounds.southDeg);
        if (!std::isfinite(pxPerLonDeg) || !std::isfinite(pxPerLatDeg) || pxPerLonDeg <= 0 || pxPerLatDeg <= 0)
            continue;
        fineToCoarse_.push_back({&image, grid.stepLonDeg * pxPerLonDeg,
                                 (grid.westLonDeg - image.bounds.westDeg) * pxPerLonDeg - 0.5,
                                 grid.stepLatDeg * pxPerLatDeg,
                                 (image.bounds.northDeg - grid.northLatDeg) * pxPerLatDeg - 0.5});
    }
}

QRgb DrapeSampler::Over(QRgb ground, float column, float row) const
{
    if (fineToCoarse_.empty() || opacity_ <= 0.0f)
        return ground;
    // Colour sums are premultiplied by coverage; `uncovered` is the share still open to
    // coarser images.
    float red = 0.0f, green = 0.0f, blue = 0.0f, uncovered = 1.0f;
    for (const Mapping& m : fineToCoarse_) {
        const raster::GeoImage& image = *m.image;
        const double x = m.xPerColumn * column + m.x0;
        const double y = m.yPerRow * row + m.y0;
        // Half a pixel beyond the outer pixel centres still belongs to the image.
        if (x < -0.5 || y < -0.5 || x > image.widthPx - 0.5 || y > image.heightPx - 0.5)
            continue;
        const double cx = std::clamp(x, 0.0, image.widthPx - 1.0);
        const double cy = std::clamp(y, 0.0, image.heightPx - 1.0);
        const int i = std::min(static_cast<int>(cx), std::max(image.widthPx - 2, 0));
        const int j = std::min(static_cast<int>(cy), std::max(image.heightPx - 2, 0));
        const int i1 = std::min(i + 1, image.widthPx - 1), j1 = std::min(j + 1, image.heightPx - 1);
        const float fx = static_cast<float>(cx - i), fy = static_cast<float>(cy - j);
        const std::uint32_t px[4] = {image.argb[static_cast<size_t>(j) * image.widthPx + i],
                                     image.argb[static_cast<size_t>(j) * image.widthPx + i1],
                                     image.argb[static_cast<size_t>(j1) * image.widthPx + i],
                                     image.argb[static_cast<size_t>(j1) * image.widthPx + i1]};
        const float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
        float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
        for (int n = 0; n < 4; ++n) {
            const float wa = w[n] * static_cast<float>(qAlpha(px[n]));
            r += wa * qRed(px[n]);
            g += wa * qGreen(px[n]);
            b += wa * qBlue(px[n]);
            a += wa;
        }
        if (a <= 0.0f)
            continue;
        // a / 255 is the coverage; the colour sums over it are the mean colour.
        const float share = uncovered * (a / 255.0f);
        red += share * (r / a);
        green += share * (g / a);
        blue += share * (b / a);
        uncovered -= share;
        if (uncovered < 0.004f)
            break;
    }
    if (uncovered >= 1.0f)
        return ground;
    const float shown = opacity_ * (1.0f - uncovered);
    const float keep = 1.0f - shown;
    const float scale = opacity_;  // the sums already carry the coverage
    const auto channel = [&](float imagery, int groundChannel) {
        return std::clamp(static_cast<int>(scale * imagery + keep * groundChannel + 0.5f), 0, 255);
    };
    return qRgb(channel(red, qRed(ground)), channel(green, qGreen(ground)), channel(blue, qBlue(ground)));
}

}  // namespace keldarn::earth
