#pragma once

// The projection of the survey's zone as the user has set it up: the ellipsoid of the
// national system, the zone width, whether Y carries the zone number, and an optional
// seven-parameter shift from WGS84 to the system's datum. Every conversion between WGS84
// latitude/longitude and the zone's plane goes through one of these.
//
// The default choice (the program's ellipsoid, Y read by the historic rule, no datum shift)
// gives exactly GeographicToPlane and PlaneToGeographic of gauss_kruger.h, bit for bit.

#include "geodesy/central_meridian.h"
#include "geodesy/datum_shift.h"
#include "geodesy/ellipsoid.h"
#include "geodesy/gauss_kruger.h"
#include "geodesy/gauss_kruger_ellipsoid.h"

#include <optional>
#include <stdexcept>

namespace keldarn::geodesy {

// How the reverse conversion reads Y.
enum class ZoneNumberInY {
    Guess,    // whole millions of metres are discarded first (the program's historic rule)
    Without,  // Y is the easting with the 500 km false easting only; never cut
    With,     // Y carries the zone number in its millions: written on the way out, removed on the way in
};

struct ProjectionChoice {
    EllipsoidChoice ellipsoid = EllipsoidChoice::Program;
    ZoneWidth zoneWidth = ZoneWidth::Three;  // how the central meridian is proposed, and the zone number
    ZoneNumberInY zoneNumber = ZoneNumberInY::Guess;
    std::optional<SevenParameters>
        datum;  // WGS84 → the system's datum; none: WGS84 coordinates used as they are

    bool operator==(const ProjectionChoice&) const = default;
    bool IsDefault() const
    {
        return ellipsoid == EllipsoidChoice::Program && zoneWidth == ZoneWidth::Three &&
               zoneNumber == ZoneNumberInY::Guess && !datum;
    }
};

// Whether two choices put every WGS84 point at the same X, Y on one central meridian: the
// same ellipsoid and datum shift, and a zone number in Y in neither or in both from zones of
// one width. (How Y is read back differs between Guess and Without, not the plane.)
bool SamePlane(const ProjectionChoice& a, const ProjectionChoice& b);

// A choice that cannot be used with the central meridian; the message is for the user.
class ProjectionSetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ZoneProjection {
public:
    // centralMeridianDeg: L0 of the zone (degrees). Throws ProjectionSetupError when Y is to
    // carry the zone number and L0 is not the central meridian of a zone of the chosen width.
    explicit ZoneProjection(double centralMeridianDeg, const ProjectionChoice& choice = {});

    // WGS84 latitude and longitude (degrees) to the zone's plane: X northing, Y easting with
    // the false easting and, with ZoneNumberInY::With, the zone number (metres). heightM is
    // the point's height (metres), taken as its height above the WGS84 ellipsoid, the datum
    // shift's source: the shift's rotations and scale move a point at 3000 m some centimetres
    // more than one on the ellipsoid. Without a datum shift the height does not matter.
    PlanePoint ToPlane(double latDeg, double lonDeg, double heightM) const;
    // The exact inverse of ToPlane for a point of the same heightM (metres above WGS84): X, Y
    // (metres) to WGS84 latitude and longitude (degrees).
    GeoPoint ToGeographic(double northingM, double eastingM, double heightM) const;
    // Whether the height moves the plane point (a datum shift is set).
    bool DependsOnHeight() const { return choice_.datum.has_value(); }

    double CentralMeridianDeg() const { return centralMeridianDeg_; }
    const ProjectionChoice& Choice() const { return choice_; }
    // The zone number Y carries (ZoneNumberInY::With), else 0.
    int ZoneNumberOfY() const { return zone_; }

private:
    double centralMeridianDeg_;
    ProjectionChoice choice_;
    GaussKrugerSeries series_;
    int zone_ = 0;
};

}  // namespace keldarn::geodesy
