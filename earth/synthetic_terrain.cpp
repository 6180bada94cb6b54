#include "earth/synthetic_terrain.h"

#include "earth/parallel.h"
#include "i18n/interface_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace keldarn::earth {

namespace {

// Integer hash (a variant of the "lowbias32" mixer), so the noise depends on nothing but
// the lattice point and the seed.
std::uint32_t Hash(std::int32_t i, std::int32_t j, std::uint32_t seed)
{
    std::uint32_t h =
        static_cast<std::uint32_t>(i) * 0x8da6b343u ^ static_cast<std::uint32_t>(j) * 0xd8163841u ^ seed;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

// Perlin's gradient noise in 2-D with eight lattice gradients; values within about ±1.
double GradientNoise(double x, double y, std::uint32_t seed)
{
    static constexpr double kGradients[8][2] = {{1, 0},
                                                {-1, 0},
                                                {0, 1},
                                                {0, -1},
                                                {0.7071, 0.7071},
                                                {-0.7071, 0.7071},
                                                {0.7071, -0.7071},
                                                {-0.7071, -0.7071}};
    // Truncation rounded down (faster than std::floor, which need not be inlined).
    std::int32_t i = static_cast<std::int32_t>(x), j = static_cast<std::int32_t>(y);
    i -= x < i;
    j -= y < j;
    const double u = x - i, v = y - j;
    const auto corner = [&](int di, int dj) {
        const double* g = kGradients[Hash(i + di, j + dj, seed) & 7u];
        return g[0] * (u - di) + g[1] * (v - dj);
    };
    // Quintic fade 6t⁵ − 15t⁴ + 10t³: continuous second derivative, so no creases in the
    // hillshade.
    const auto fade = [](double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
    const double su = fade(u), sv = fade(v);
    const double bottom = corner(0, 0) + su * (corner(1, 0) - corner(0, 0));
    const double top = corner(0, 1) + su * (corner(1, 1) - corner(0, 1));
    return 1.4 * (bottom + sv * (top - bottom));
}

// Fractal sum of octaves from a wavelength of wavelengthKm down to about 100 m, each
// octave half the amplitude of the one before; `ridged` folds each octave into sharp crests.
double Fractal(double xKm, double yKm, double wavelengthKm, int octaves, bool ridged, std::uint32_t seed)
{
    double sum = 0.0, amplitude = 1.0, frequency = 1.0 / wavelengthKm;
    // Each octave turned by its own angle and shifted: the lattice lines of gradient noise
    // would otherwise line up across octaves and show as straight north–south and
    // east–west seams.
    static constexpr double kCos[8] = {1.0, 0.5403, -0.4161, -0.98999, -0.65364, 0.28366, 0.96017, 0.75390};
    static constexpr double kSin[8] = {0.0, 0.84147, 0.90930, 0.14112, -0.75680, -0.95892, -0.27942, 0.65699};
    for (int k = 0; k < octaves; ++k) {
        const double shift = 0.61803 * (k + 1) + 0.1 * (seed % 7u);
        const double u = xKm * kCos[k % 8] - yKm * kSin[k % 8], v = xKm * kSin[k % 8] + yKm * kCos[k % 8];
        const double n = GradientNoise(u * frequency + shift, v * frequency - 1.7 * shift, seed + 977u * k);
        sum += amplitude * (ridged ? 1.0 - 2.0 * std::fabs(n) : n);
        amplitude *= 0.5;
        frequency *= 2.03;  // not exactly 2, so the lattices of the octaves do not align
    }
    return sum;
}

double Smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// The winding river from west to east about a kilometre south of the centre: its centre
// line (kilometres north of the centre) at a distance east of the centre.
double RiverNorthKm(double xKm)
{
    return -1.2 + 2.0 * std::sin(xKm / 5.5) + 0.8 * std::sin(xKm / 1.9 + 1.3);
}

// Elevation (metres) at a point given in kilometres east and north of the centre, with the
// river's centre line at riverYKm north.
double SyntheticElevationM(double xKm, double yKm, double riverYKm)
{
    // Hill country west of a boundary that runs a few kilometres east of the centre, plain
    // beyond it; the boundary wanders.
    const double wander = 3.0 * GradientNoise(xKm / 12.0, yKm / 12.0, 11u);
    const double hilliness = Smoothstep(-2.0, 7.0, 4.0 - (0.8 * xKm + 0.6 * yKm) + wander);
    // Ridges about 2.5 km apart with spurs and gullies down to 50 m; gentler swells between.
    const double crest = 0.5 + 0.5 * Fractal(xKm, yKm, 5.0, 7, true, 23u) / 1.95;
    const double swell = Fractal(xKm, yKm, 2.5, 5, false, 37u);
    double hM = 62.0 + hilliness * (30.0 + 300.0 * crest * crest * crest + 25.0 * swell) + 6.0 * swell;

    // The river valley, 0.6 km wide (standard deviation); its floor falls gently towards
    // the plain. Beyond 4 km its share is below e⁻²².
    const double offKm = std::fabs(yKm - riverYKm);
    if (offKm < 4.0) {
        const double valley = std::exp(-(offKm * offKm) / (2.0 * 0.6 * 0.6));
        const double floorM = 58.0 - 0.3 * xKm;
        hM += (std::min(hM, floorM) - hM) * valley;
    }
    // Summits are rounded off below kSyntheticHighM rather than cut flat.
    constexpr double kRoundFromM = kSyntheticHighM - 60.0;
    if (hM > kRoundFromM)
        hM = kRoundFromM + 60.0 * std::tanh((hM - kRoundFromM) / 60.0);
    return std::max(hM, kSyntheticLowM);
}

}  // namespace

std::shared_ptr<const Terrain> MakeSyntheticTerrain()
{
    GridGeometry grid;
    grid.columns = grid.rows =
        static_cast<int>(std::lround(2.0 * kSyntheticHalfExtentDeg / kSyntheticStepDeg)) + 1;
    grid.westLonDeg = kSyntheticCentreLonDeg - kSyntheticHalfExtentDeg;
    grid.northLatDeg = kSyntheticCentreLatDeg + kSyntheticHalfExtentDeg;
    grid.stepLonDeg = grid.stepLatDeg = kSyntheticStepDeg;

    const double kmPerDegLat = MetresPerDegreeLat(kSyntheticCentreLatDeg) / 1000.0;
    const double kmPerDegLon = MetresPerDegreeLon(kSyntheticCentreLatDeg) / 1000.0;
    std::vector<float> elevationsM(static_cast<size_t>(grid.columns) * grid.rows);
    std::vector<double> xKm(grid.columns), riverKm(grid.columns);
    for (int c = 0; c < grid.columns; ++c) {
        xKm[c] = (c * grid.stepLonDeg - kSyntheticHalfExtentDeg) * kmPerDegLon;
        riverKm[c] = RiverNorthKm(xKm[c]);
    }
    ParallelFor(grid.rows, [&](int firstRow, int endRow) {
        for (int r = firstRow; r < endRow; ++r) {
            const double yKm = (kSyntheticHalfExtentDeg - r * grid.stepLatDeg) * kmPerDegLat;
            float* row = &elevationsM[static_cast<size_t>(r) * grid.columns];
            for (int c = 0; c < grid.columns; ++c)
                row[c] = static_cast<float>(SyntheticElevationM(xKm[c], yKm, riverKm[c]));
        }
    });
    return std::make_shared<const Terrain>(grid, std::move(elevationsM),
                                           i18n::Translate("earth", "合成演示地形"), true);
}

}  // namespace keldarn::earth
