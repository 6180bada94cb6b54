#include "geodesy/zone_projection.h"

#include "i18n/interface_text.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace keldarn::geodesy {

ZoneProjection::ZoneProjection(double centralMeridianDeg, const ProjectionChoice& choice)
    : centralMeridianDeg_(centralMeridianDeg), choice_(choice), series_(EllipsoidOf(choice.ellipsoid))
{
    if (choice.zoneNumber != ZoneNumberInY::With)
        return;
    zone_ = ZoneNumber(centralMeridianDeg, choice.zoneWidth);
    if (zone_ == kNoZoneNumber) {
        char meridian[400];  // room for any double in %.4f
        std::snprintf(meridian, sizeof meridian, "%.4f", centralMeridianDeg);
        throw ProjectionSetupError(
            i18n::Format(i18n::Translate("geodesy", "中央子午线 %1° 不是%2°带的中央子午线，Y 无法加带号。"
                                                    "请改正中央子午线或带宽。"),
                         {meridian, std::to_string(static_cast<int>(choice.zoneWidth))}));
    }
}

PlanePoint ZoneProjection::ToPlane(double latDeg, double lonDeg, double heightM) const
{
    if (choice_.IsDefault())
        return GeographicToPlane(latDeg, lonDeg, centralMeridianDeg_);
    if (choice_.datum) {
        const GeodeticPoint local =
            Wgs84ToLocal({latDeg, lonDeg, heightM}, *choice_.datum, EllipsoidOf(choice_.ellipsoid));
        latDeg = local.latDeg;
        lonDeg = local.lonDeg;
    }
    PlanePoint plane = series_.ToPlane(latDeg, lonDeg, centralMeridianDeg_);
    if (zone_ != kNoZoneNumber)
        plane.y = WithZoneNumber(plane.y, zone_);
    return plane;
}

GeoPoint ZoneProjection::ToGeographic(double northingM, double eastingM, double heightM) const
{
    if (choice_.IsDefault())
        return PlaneToGeographic(northingM, eastingM, centralMeridianDeg_);
    GeoPoint geo;
    if (choice_.zoneNumber == ZoneNumberInY::Guess) {
        // The historic rule, on another ellipsoid: whole millions are dropped.
        geo =
            series_.ToGeographic(northingM, eastingM - std::trunc(eastingM / 1e6) * 1e6, centralMeridianDeg_);
    } else {
        geo = series_.ToGeographic(northingM,
                                   zone_ != kNoZoneNumber ? WithoutZoneNumber(eastingM, zone_) : eastingM,
                                   centralMeridianDeg_);
    }
    if (choice_.datum) {
        // Back to heightM above WGS84, where ToPlane took the point, not above the local
        // ellipsoid: the two lie tens of metres apart along normals arc-seconds apart, which
        // moves the point by millimetres. One correction of the local height by the WGS84
        // height's miss brings that height to heightM within nanometres.
        const Ellipsoid& local = EllipsoidOf(choice_.ellipsoid);
        const GeodeticPoint first = LocalToWgs84({geo.latDeg, geo.lonDeg, heightM}, *choice_.datum, local);
        const GeodeticPoint wgs84 = LocalToWgs84(
            {geo.latDeg, geo.lonDeg, heightM + (heightM - first.heightM)}, *choice_.datum, local);
        geo = {.latDeg = wgs84.latDeg, .lonDeg = wgs84.lonDeg};
    }
    return geo;
}

bool SamePlane(const ProjectionChoice& a, const ProjectionChoice& b)
{
    const bool zoneInA = a.zoneNumber == ZoneNumberInY::With;
    const bool zoneInB = b.zoneNumber == ZoneNumberInY::With;
    return a.ellipsoid == b.ellipsoid && a.datum == b.datum && zoneInA == zoneInB &&
           (!zoneInA || a.zoneWidth == b.zoneWidth);
}

}  // namespace keldarn::geodesy
