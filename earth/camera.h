#pragma once

// The viewer's camera, a look-at as Google Earth defines it, and the pinhole geometry of the
// view: rays through normalised screen points and the projection of ECEF points onto the
// screen.

#include "earth/geocentric.h"
#include "earth/screen_coords.h"  // ScreenPoint, the normalised view coordinates

#include <optional>

namespace keldarn::earth {

// Focus point latitude and longitude (degrees, WGS84), focus altitude above the ground
// (metres), range from the focus point to the camera (metres), tilt from looking straight
// down (degrees; 0 = down, 90 = horizontal) and azimuth clockwise from north (degrees),
// which is the direction the top of the view faces.
struct LookAt {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    double altitudeM = 0.0;
    double rangeM = 3000.0;
    double tiltDeg = 0.0;
    double azimuthDeg = 0.0;
};

inline constexpr double kMinRangeM = 1.0;
inline constexpr double kMaxRangeM = 2.0e7;
inline constexpr double kMaxTiltDeg = 85.0;  // steeper views would put the camera at the horizon
inline constexpr double kMaxAbsAltitudeM = 1.0e6;
inline constexpr double kHalfFieldOfViewDeg = 30.0;  // horizontal; the vertical follows the aspect

// Brings a look-at into the ranges above: latitude to [-90, 90], longitude to [-180, 180),
// azimuth to [0, 360), range, tilt and altitude clamped. A field that is not a finite
// number takes the value of `fallback`.
LookAt ClampLookAt(const LookAt& wanted, const LookAt& fallback);

class Camera {
public:
    // lookAt must be clamped. focusGroundM is the terrain elevation under the focus point
    // (metres); the focus lies altitudeM above it. The view is widthPx × heightPx pixels.
    Camera(const LookAt& lookAt, double focusGroundM, int widthPx, int heightPx);

    // The ray from the camera through a screen point; points outside -1..+1 are allowed.
    Ray RayThrough(double sx, double sy) const;

    // Where an ECEF point appears on the screen, or nothing when it is not in front of the
    // camera.
    std::optional<ScreenPoint> Project(const Vec3& ecef) const;

    // Camera-space coordinates of an ECEF point: x right, y up, z forward (metres).
    Vec3 ToCameraSpace(const Vec3& ecef) const;

    const LookAt& lookAt() const { return lookAt_; }
    Vec3 Position() const { return position_; }
    Vec3 Focus() const { return focus_; }
    Vec3 Right() const { return right_; }
    Vec3 Up() const { return up_; }
    Vec3 Forward() const { return forward_; }
    int WidthPx() const { return widthPx_; }
    int HeightPx() const { return heightPx_; }
    double TanHalfWidth() const { return tanHalfWidth_; }
    double TanHalfHeight() const { return tanHalfHeight_; }

    // Ground metres per pixel across the view at the focus point's distance.
    double MetresPerPixelAtFocus() const;

private:
    LookAt lookAt_;
    int widthPx_ = 1;
    int heightPx_ = 1;
    double tanHalfWidth_ = 0.0;
    double tanHalfHeight_ = 0.0;
    Vec3 focus_;
    Vec3 position_;
    Vec3 right_;
    Vec3 up_;
    Vec3 forward_;
};

}  // namespace keldarn::earth
