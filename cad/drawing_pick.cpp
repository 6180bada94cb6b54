#include "cad/drawing_pick.h"

#include "cad/drawing_geometry.h"

#include <algorithm>

namespace keldarn::cad {

namespace {

std::size_t CountOf(const DrawingModel& model, EntityKind kind)
{
    switch (kind) {
    case EntityKind::Point:
        return model.Points().size();
    case EntityKind::Text:
        return model.Texts().size();
    case EntityKind::Polyline:
        return model.Polylines().size();
    case EntityKind::Other:
        return model.Others().size();
    }
    return 0;
}

DrawingBox Grown(DrawingBox box, double marginM)
{
    box.minX -= marginM;
    box.minY -= marginM;
    box.maxX += marginM;
    box.maxY += marginM;
    return box;
}

}  // namespace

std::optional<EntityRef> NearestEntity(const DrawingModel& model, DrawingXY p, double toleranceM,
                                       std::span<const EntityKind> kinds)
{
    std::optional<EntityRef> nearest;
    double best = toleranceM;
    DrawingBox probe;
    probe.Add(p.x, p.y);
    for (const EntityKind kind : kinds) {
        const std::size_t count = CountOf(model, kind);
        for (std::size_t i = 0; i < count; ++i) {
            const EntityRef entity{kind, static_cast<std::uint32_t>(i)};
            if (!Grown(EntityBox(model, entity), toleranceM).Intersects(probe))
                continue;
            const double distance = DistanceToEntity(model, entity, p);
            if (distance <= best) {
                best = distance;
                nearest = entity;
            }
        }
    }
    return nearest;
}

std::vector<EntityRef> EntitiesInWindow(const DrawingModel& model, const DrawingBox& box, bool crossing,
                                        std::span<const EntityKind> kinds)
{
    std::vector<EntityRef> found;
    for (const EntityKind kind : kinds) {
        const std::size_t count = CountOf(model, kind);
        for (std::size_t i = 0; i < count; ++i) {
            const EntityRef entity{kind, static_cast<std::uint32_t>(i)};
            if (crossing ? EntityCrossesBox(model, entity, box) : EntityInsideBox(model, entity, box))
                found.push_back(entity);
        }
    }
    return found;
}

}  // namespace keldarn::cad
