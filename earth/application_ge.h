#pragma once

// The automation interface of the terrain viewer. The rest of the program talks to the
// viewer only through these operations: create the application object, ask for its
// main and render windows, read and set the camera, and ask for the terrain point under
// a spot of the view. A failing call throws EarthError with a message the user can act
// on; the calling command shows it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

class QWidget;

namespace keldarn::earth {

class EarthError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A ray through the view meets no terrain (sky, a hole in the elevation model, or
// beyond its edge). Grid sampling skips such points; other errors end the run.
class NoTerrainError : public EarthError {
public:
    using EarthError::EarthError;
};

// The camera as a look-at: focus point latitude and longitude (degrees, WGS84), focus
// point altitude relative to the ground (metres), range from the focus point to the
// camera (metres), tilt from looking straight down (degrees; 0 = straight down,
// 90 = horizontal) and azimuth clockwise from north (degrees).
struct ICameraInfoGE {
    double FocusPointLatitude = 0.0;
    double FocusPointLongitude = 0.0;
    double FocusPointAltitude = 0.0;
    double Range = 0.0;
    double Tilt = 0.0;
    double Azimuth = 0.0;
};

// The terrain under a spot of the view: latitude and longitude (degrees, WGS84) and the
// terrain elevation (metres).
struct IPointOnTerrainGE {
    double Latitude = 0.0;
    double Longitude = 0.0;
    double Altitude = 0.0;
};

enum class AltitudeModeGE : std::int32_t {
    RelativeToGroundAltitudeGE = 1,
    AbsoluteAltitudeGE = 2,
};

class IApplicationGE {
public:
    virtual ~IApplicationGE() = default;

    // The viewer's own top-level window, which the main window takes into its map panel.
    virtual QWidget* GetMainHwnd() = 0;

    // The window showing the 3-D view; its frame geometry is the view's size in pixels.
    virtual QWidget* GetRenderHwnd() = 0;

    // The current camera, or nothing when the view has none yet. With considerTerrain
    // the focus point lies on the terrain.
    virtual std::optional<ICameraInfoGE> GetCamera(bool considerTerrain) = 0;

    // Moves the view. speed 1.0 is the viewer's normal fly-to speed.
    virtual void SetCameraParams(double latDeg, double lonDeg, double altitudeM, AltitudeModeGE mode,
                                 double rangeM, double tiltDeg, double azimuthDeg, double speed) = 0;

    // The terrain under the normalised view point (sx, sy): −1 at the left and bottom
    // edges, +1 at the right and top edges, 0 at the centre. A ray that meets no terrain
    // throws NoTerrainError; no value is ever made up.
    virtual IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double sx, double sy) = 0;

    // The picks of the view as it is now, for a run on a worker thread that must not touch
    // the viewer: the function answers as GetPointOnTerrainFromScreenCoords would have at
    // the time of this call, with nothing where that throws NoTerrainError. One thread at a
    // time; it owns what it reads, so it may outlive the viewer's terrain and camera.
    using ScreenPicks = std::function<std::optional<IPointOnTerrainGE>(double sx, double sy)>;
    virtual ScreenPicks PicksForRun() = 0;

    // The ground under (sx, sy) for measuring the view's extent: the terrain where the ray
    // meets it, else where the ray meets the ellipsoid raised to the terrain's mean height
    // (beyond the model's edge, over a hole); the altitude is then that mean height.
    // Throws NoTerrainError only for a ray into the sky. A viewer without a reference
    // level answers as GetPointOnTerrainFromScreenCoords.
    virtual IPointOnTerrainGE GetGroundFromScreenCoords(double sx, double sy)
    {
        return GetPointOnTerrainFromScreenCoords(sx, sy);
    }
};

// Creates the application object and starts the viewer. Throws EarthError when no
// viewer can be started.
std::unique_ptr<IApplicationGE> CoApplicationGE();

// How the main window obtains its viewer; tests hand in viewers of their own.
using ApplicationFactory = std::function<std::unique_ptr<IApplicationGE>()>;

}  // namespace keldarn::earth
