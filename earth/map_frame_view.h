#pragma once

// The camera's geometry for one frame that map layers are drawn on, and what the frame's
// depth tells about the ground it shows: where a point of the ground appears, whether the
// surface hides it, and which ground the frame can show.

#include "earth/camera.h"
#include "earth/map_layers.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace keldarn::earth::map_detail {

constexpr double kRad = std::numbers::pi / 180.0;

// A point is hidden when it lies farther than the farthest surface drawn within a pixel of
// it by more than this share of that distance plus the margin: the rendered mesh departs
// from the ground that `ground` reports by less than a pixel, and the neighbourhood takes up
// the point's sub-pixel position, which matters where the ground is seen at a grazing angle.
constexpr double kHiddenShare = 0.01;
constexpr double kHiddenMarginM = 1.0;

struct LatLonBox {
    double southDeg = std::numeric_limits<double>::infinity();
    double northDeg = -std::numeric_limits<double>::infinity();
    double westDeg = std::numeric_limits<double>::infinity();
    double eastDeg = -std::numeric_limits<double>::infinity();

    void Add(double latDeg, double lonDeg)
    {
        southDeg = std::min(southDeg, latDeg);
        northDeg = std::max(northDeg, latDeg);
        westDeg = std::min(westDeg, lonDeg);
        eastDeg = std::max(eastDeg, lonDeg);
    }
    bool Contains(double latDeg, double lonDeg) const
    {
        return latDeg >= southDeg && latDeg <= northDeg && lonDeg >= westDeg && lonDeg <= eastDeg;
    }
    bool Intersects(const LatLonBox& o) const
    {
        return o.southDeg <= northDeg && o.northDeg >= southDeg && o.westDeg <= eastDeg &&
               o.eastDeg >= westDeg;
    }
};

// The ECEF point of a geodetic one: (N + h) cos B cos L, (N + h) cos B sin L,
// (N (1 − e²) + h) sin B with the normal radius N = a / √(1 − e² sin² B). Direct, for the
// thousands of points a frame places; GeographicLib's Geocentric gives the same to 1e-9 m.
inline Vec3 Ecef(double latDeg, double lonDeg, double heightM)
{
    constexpr double e2 = kWgs84Flattening * (2.0 - kWgs84Flattening);
    const double sinB = std::sin(latDeg * kRad), cosB = std::cos(latDeg * kRad);
    const double sinL = std::sin(lonDeg * kRad), cosL = std::cos(lonDeg * kRad);
    const double n = kWgs84SemiMajorM / std::sqrt(1.0 - e2 * sinB * sinB);
    return {(n + heightM) * cosB * cosL, (n + heightM) * cosB * sinL, (n * (1.0 - e2) + heightM) * sinB};
}

// The camera's geometry for one frame, and what the frame's depth tells about the ground
// it shows.
class FrameView {
public:
    FrameView(const Camera& camera, const FrameDepth& depth) : camera_(camera)
    {
        if (depth.invDepth && depth.widthPx == camera.WidthPx() && depth.heightPx == camera.HeightPx() &&
            depth.invDepth->size() == static_cast<size_t>(depth.widthPx) * depth.heightPx)
            invDepth_ = depth.invDepth->data();
        ScanDepth();
    }

    Vec3 ToCamera(double latDeg, double lonDeg, double heightM) const
    {
        return camera_.ToCameraSpace(Ecef(latDeg, lonDeg, heightM));
    }

    // Image coordinates of a camera-space point with z > 0 (see map_layers.h).
    QPointF ToImage(const Vec3& c) const
    {
        return {0.5 * w_ * (1.0 + c.x / (c.z * camera_.TanHalfWidth())) + 0.5,
                0.5 * h_ * (1.0 - c.y / (c.z * camera_.TanHalfHeight())) + 0.5};
    }

    // Ground size (metres) of a pixel seen straight on at a forward distance of zM metres.
    double PixelM(double zM) const { return std::max(zM, 0.0) * 2.0 * camera_.TanHalfWidth() / w_; }

    bool OnFrame(const QPointF& p) const { return p.x() >= 0.0 && p.y() >= 0.0 && p.x() < w_ && p.y() < h_; }

    // Whether the surface drawn around image point p lies in front of the camera-space
    // point c; false off the frame and without depth.
    bool Hidden(const Vec3& c, const QPointF& p) const
    {
        if (!invDepth_ || !OnFrame(p))
            return false;
        const int x = static_cast<int>(p.x()), y = static_cast<int>(p.y());
        float farthest = std::numeric_limits<float>::infinity();
        for (int j = std::max(y - 1, 0); j <= std::min(y + 1, h_ - 1); ++j)
            for (int i = std::max(x - 1, 0); i <= std::min(x + 1, w_ - 1); ++i)
                farthest = std::min(farthest, invDepth_[static_cast<size_t>(j) * w_ + i]);
        if (!(farthest > 0.0f))
            return false;  // sky or ground without data next to it: nothing in front
        return c.z > (1.0 + kHiddenShare) / farthest + kHiddenMarginM;
    }

    // Whether a sphere around the camera-space point c with the radius r (metres) reaches
    // into the view's pyramid.
    bool SphereMayBeSeen(const Vec3& c, double r) const
    {
        const double tanW = camera_.TanHalfWidth(), tanH = camera_.TanHalfHeight();
        // Signed distances from the four side planes through the camera, positive inside.
        const double sideW = 1.0 / std::sqrt(1.0 + tanW * tanW), sideH = 1.0 / std::sqrt(1.0 + tanH * tanH);
        return c.z > -r && (tanW * c.z + c.x) * sideW > -r && (tanW * c.z - c.x) * sideW > -r &&
               (tanH * c.z + c.y) * sideH > -r && (tanH * c.z - c.y) * sideH > -r;
    }

    // The ground the frame can show, when every pixel of its border shows terrain.
    const std::optional<LatLonBox>& Visible() const { return visible_; }
    // Ground size of a pixel at the nearest surface drawn (metres), or a lower bound of it.
    double NearestPixelM() const { return nearestPixelM_; }
    int Width() const { return w_; }
    int Height() const { return h_; }

private:
    // Reads the depth on a grid of pixels: the ground points drawn there bound the
    // ground shown, padded by the largest step between neighbouring samples.
    void ScanDepth();

    const Camera& camera_;
    int w_ = camera_.WidthPx();
    int h_ = camera_.HeightPx();
    const float* invDepth_ = nullptr;
    std::optional<LatLonBox> visible_;
    double nearestPixelM_ = 0.0;
};

}  // namespace keldarn::earth::map_detail
