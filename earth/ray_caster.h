#pragma once

// Where a ray first meets the terrain surface: the bilinear surface over the samples with
// data, seen from either side (a camera under the surface sees its underside, as the
// renderer draws it).

#include "earth/geocentric.h"
#include "earth/terrain.h"

#include <optional>

namespace keldarn::earth {

// The point where a ray meets the terrain: latitude and longitude (degrees, WGS84), the
// terrain's bilinear elevation there (metres) and the distance along the ray (metres).
struct TerrainHit {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    double elevationM = 0.0;
    double distanceM = 0.0;
};

// Why a ray met no terrain: it left the terrain's height range upwards (sky, or over the
// horizon), or it went below the lowest terrain without meeting data (outside the grid or
// through a hole).
enum class RayMiss { Sky, NoTerrain };

struct RayCastResult {
    std::optional<TerrainHit> hit;
    RayMiss miss = RayMiss::Sky;  // meaningful only without a hit
};

// The search is bounded by the terrain's lowest and highest elevation; it marches with
// steps that the surface's slope bound makes safe (never farther than the surface could
// come closer), with a floor of a quarter cell, and refines a crossing by bisection to
// 0.1 mm along the ray. Where data begins or ends within a step (the grid's edge, a hole),
// the edge is located to 0.1 mm and only the part with data is searched; a floored step
// that could have passed through the surface and back is halved until it could not.
// raiseM lifts the whole surface (metres); the hit's elevation is then the raised one.
RayCastResult CastRay(const Terrain& terrain, const Ray& ray, double raiseM = 0.0);

}  // namespace keldarn::earth
