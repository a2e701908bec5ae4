// The two background layers of a map: the far one (drawn at a fifth of the camera's offset) is
// an opaque sky with sun or moon, stars, clouds and distant mountains; the near one (at half the
// offset) holds hills with trees over a transparent sky. Reads a MapShape; called by
// brallo-mapgen render.
#pragma once

#include <cstdint>

#include "canvas.h"
#include "mapshape.h"

namespace brallo::mapgen {

struct LayerSize {
    int32_t width = 0, height = 0;
};

/// The size that fills the 800 by 600 window at every camera position a player inside the map
/// can cause, for a layer drawn at 1/`divisor` of the camera's offset. The camera keeps the
/// player's centre between x 250 and 550 and y 250 and 350 of the window, so it reaches at most
/// (maxX - 260, maxY - 268); where it goes below 0 the layer starts right of or below the
/// window's corner and the background colour shows there, which the layers blend into.
LayerSize layerSize(const MapShape& shape, int32_t divisor);

/// The far layer ("p5"): every pixel opaque.
Canvas renderFarLayer(const MapShape& shape);

/// The near layer ("p2"): opaque hills, transparent sky.
Canvas renderNearLayer(const MapShape& shape);

}  // namespace brallo::mapgen
