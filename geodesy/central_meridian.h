#pragma once

// The zone central meridian exists only as the text of its field; every converting
// command reads it afresh through ReadCentralMeridian before it converts anything.

#include "i18n/interface_text.h"

#include <stdexcept>
#include <string_view>

namespace keldarn::geodesy {

// The central meridian field is blank; what() is the message shown for it.
class CentralMeridianNotSetError : public std::runtime_error {
public:
    CentralMeridianNotSetError() : std::runtime_error(i18n::Translate("geodesy", "中央子午线没有设置！")) {}
};

// L0 in degrees from the field text. Blank text (only blanks and control characters)
// throws CentralMeridianNotSetError; a text that is not a number throws
// InvalidNumberError.
double ReadCentralMeridian(std::string_view fieldText);

// Zone widths of the national Gauss–Krüger grids, degrees of longitude.
enum class ZoneWidth { Three = 3, Six = 6 };

// The zone meridian proposed for a map centred at longitude lonDeg (degrees):
//   3°: 3·round(L / 3), exact halves to the even one (ProposeZoneMeridian of
//       gauss_kruger.h);
//   6°: 6·floor(L / 6) + 3, the middle of the 6° strip from a multiple of 6° that holds L.
double ProposeZoneMeridian(double lonDeg, ZoneWidth width);

// Returned by ZoneNumber when L0 is not the central meridian of any zone of that width.
inline constexpr int kNoZoneNumber = 0;

// Zone number of the central meridian L0 (degrees), counted eastward from Greenwich as in
// Chinese practice, with L0 taken as an east longitude in (0°, 360°]:
//   3°: n = L0 / 3, 1…120 (zone 39 has L0 = 117°; Greenwich is zone 120);
//   6°: n = (L0 + 3) / 6, 1…60 (zone 20 has L0 = 117°).
// kNoZoneNumber when the quotient is not a whole number.
int ZoneNumber(double centralMeridianDeg, ZoneWidth width);

// Easting with the zone number in front: zone·10⁶ + easting (metres). Exact up to the last
// bit of the sum: 1.5e-8 m for zone 75.
double WithZoneNumber(double eastingM, int zone);

// Easting without the zone number: easting − zone·10⁶ (metres), exact. Nothing is guessed:
// the caller says which zone number the easting carries, 0 for none, and an easting past
// 1000000 m without one stays as it is.
double WithoutZoneNumber(double eastingM, int zone);

}  // namespace keldarn::geodesy
