#pragma once

// Which entities a click or a window picks. Only entities of the kinds asked for are
// considered; the drawing window asks for texts and polylines.

#include "cad/drawing_model.h"

#include <optional>
#include <span>
#include <vector>

namespace keldarn::cad {

// The entity of those kinds nearest to p within toleranceM, if any. Among entities at
// the same distance (a point inside two text boxes) the one added last wins, as it is
// drawn on top.
std::optional<EntityRef> NearestEntity(const DrawingModel& model, DrawingXY p, double toleranceM,
                                       std::span<const EntityKind> kinds);

// Entities of those kinds inside the box (window drawn left to right), or inside or
// crossing its edge (crossing window, drawn right to left): kind by kind in the order
// given, entities of a kind in the order they were added.
std::vector<EntityRef> EntitiesInWindow(const DrawingModel& model, const DrawingBox& box, bool crossing,
                                        std::span<const EntityKind> kinds);

}  // namespace keldarn::cad
