#include "earth/camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keldarn::earth {

namespace {

double FiniteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

// Wraps into [low, low + 360).
double WrapDeg(double angleDeg, double lowDeg)
{
    const double wrapped = angleDeg - 360.0 * std::floor((angleDeg - lowDeg) / 360.0);
    return wrapped >= lowDeg + 360.0 ? lowDeg : wrapped;
}

}  // namespace

LookAt ClampLookAt(const LookAt& wanted, const LookAt& fallback)
{
    LookAt c;
    c.latDeg = std::clamp(FiniteOr(wanted.latDeg, fallback.latDeg), -90.0, 90.0);
    c.lonDeg = WrapDeg(FiniteOr(wanted.lonDeg, fallback.lonDeg), -180.0);
    c.altitudeM =
        std::clamp(FiniteOr(wanted.altitudeM, fallback.altitudeM), -kMaxAbsAltitudeM, kMaxAbsAltitudeM);
    c.rangeM = std::clamp(FiniteOr(wanted.rangeM, fallback.rangeM), kMinRangeM, kMaxRangeM);
    c.tiltDeg = std::clamp(FiniteOr(wanted.tiltDeg, fallback.tiltDeg), 0.0, kMaxTiltDeg);
    c.azimuthDeg = WrapDeg(FiniteOr(wanted.azimuthDeg, fallback.azimuthDeg), 0.0);
    return c;
}

Camera::Camera(const LookAt& lookAt, double focusGroundM, int widthPx, int heightPx)
    : lookAt_(lookAt), widthPx_(std::max(widthPx, 1)), heightPx_(std::max(heightPx, 1))
{
    constexpr double kRad = std::numbers::pi / 180.0;
    tanHalfWidth_ = std::tan(kHalfFieldOfViewDeg * kRad);
    tanHalfHeight_ = tanHalfWidth_ * heightPx_ / widthPx_;

    focus_ = EcefFromGeodetic({lookAt.latDeg, lookAt.lonDeg, focusGroundM + lookAt.altitudeM});
    const LocalFrame frame = LocalFrameAt(lookAt.latDeg, lookAt.lonDeg);
    const double tilt = lookAt.tiltDeg * kRad;
    const double azimuth = lookAt.azimuthDeg * kRad;
    // The horizontal direction the view faces, then the view direction tipped from
    // straight down towards it by the tilt.
    const Vec3 heading = frame.east * std::sin(azimuth) + frame.north * std::cos(azimuth);
    forward_ = frame.up * -std::cos(tilt) + heading * std::sin(tilt);
    up_ = frame.up * std::sin(tilt) + heading * std::cos(tilt);
    right_ = forward_.Cross(up_);
    position_ = focus_ - forward_ * lookAt.rangeM;
}

Ray Camera::RayThrough(double sx, double sy) const
{
    const Vec3 d = forward_ + right_ * (sx * tanHalfWidth_) + up_ * (sy * tanHalfHeight_);
    return {position_, d.Normalized()};
}

Vec3 Camera::ToCameraSpace(const Vec3& ecef) const
{
    const Vec3 r = ecef - position_;
    return {r.Dot(right_), r.Dot(up_), r.Dot(forward_)};
}

std::optional<ScreenPoint> Camera::Project(const Vec3& ecef) const
{
    const Vec3 c = ToCameraSpace(ecef);
    if (c.z <= 0.0)
        return std::nullopt;
    return ScreenPoint{c.x / (c.z * tanHalfWidth_), c.y / (c.z * tanHalfHeight_)};
}

double Camera::MetresPerPixelAtFocus() const
{
    return 2.0 * lookAt_.rangeM * tanHalfWidth_ / widthPx_;
}

}  // namespace keldarn::earth
