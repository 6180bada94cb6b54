#pragma once

// The lines of map layers (KML paths and polygon outlines) on a frame: projected, draped over
// the ground, simplified, cut where they go behind the ground, and drawn.

#include "earth/map_frame_view.h"
#include "earth/map_layer_index.h"
#include "earth/map_layers.h"

#include <QImage>

#include <memory>
#include <vector>

namespace keldarn::earth::map_detail {

// Draws the lines of the layers (caches[l] is the cache of layers[l]) onto `frame`, as
// DrawMapLayers describes, and adds their screen segments to drawn.segments.
void DrawLines(QImage& frame, const FrameView& view, const GroundHeight& ground,
               const std::vector<std::shared_ptr<const MapLayer>>& layers,
               const std::vector<LayerCache*>& caches, MapLayersDrawn& drawn);

}  // namespace keldarn::earth::map_detail
