#pragma once

// Reference ellipsoids of the national coordinate systems, given by the semi-major axis a
// and the inverse flattening 1/f; every other figure derives from those two.

#include <array>
#include <optional>
#include <string_view>

#include "geodesy/gauss_kruger.h"

namespace keldarn::geodesy {

struct Ellipsoid {
    double a = 0.0;     // semi-major axis, metres
    double invF = 0.0;  // inverse flattening 1/f, greater than 1 (no spheres here)

    // Flattening f = (a − b) / a.
    constexpr double f() const { return 1.0 / invF; }
    // Semi-minor axis b = a·(1 − f), metres.
    constexpr double b() const { return a * (1.0 - f()); }
    // First eccentricity squared e² = f·(2 − f).
    constexpr double e2() const { return f() * (2.0 - f()); }
    // Second eccentricity squared e′² = e² / (1 − e²).
    constexpr double secondE2() const { return e2() / ((1.0 - f()) * (1.0 - f())); }
};

// The program's own ellipsoid of gauss_kruger.h. 1/f = a / (a − b) reproduces
// b = kSemiMinorAxisM to the bit (a − b is exact in double; checked in the tests).
inline constexpr Ellipsoid kProgramEllipsoid{kSemiMajorAxisM,
                                             kSemiMajorAxisM / (kSemiMajorAxisM - kSemiMinorAxisM)};
// China Geodetic Coordinate System 2000.
inline constexpr Ellipsoid kCgcs2000{6378137.0, 298.257222101};
inline constexpr Ellipsoid kWgs84{6378137.0, 298.257223563};
// Xi'an 1980: the IAG-75 ellipsoid.
inline constexpr Ellipsoid kXian80{6378140.0, 298.257};
// Beijing 1954: the Krasovsky ellipsoid.
inline constexpr Ellipsoid kBeijing54{6378245.0, 298.3};

// The ellipsoids a user can choose, in the order a list shows them.
enum class EllipsoidChoice { Program, Cgcs2000, Wgs84, Xian80, Beijing54 };

inline constexpr std::array<EllipsoidChoice, 5> kEllipsoidChoices{
    EllipsoidChoice::Program, EllipsoidChoice::Cgcs2000, EllipsoidChoice::Wgs84, EllipsoidChoice::Xian80,
    EllipsoidChoice::Beijing54};

const Ellipsoid& EllipsoidOf(EllipsoidChoice choice);

// Name shown to the user, in the interface's language, UTF-8 ("西安80（IAG-75）").
std::string DisplayName(EllipsoidChoice choice);

// Key stored in settings ("Xian80"); stable across versions and languages.
std::string_view SettingKey(EllipsoidChoice choice);

// The choice whose SettingKey is exactly key (case-sensitive); nullopt for anything else.
std::optional<EllipsoidChoice> ParseEllipsoidKey(std::string_view key);

}  // namespace keldarn::geodesy
