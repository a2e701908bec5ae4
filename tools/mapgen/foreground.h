// The foreground picture of a map: solid blocks as stone with a crust on top, platforms as
// wooden planks, weapon spots as glowing silver or gold markers; every other pixel transparent
// so the parallax layers show through. Reads a MapShape; called by brallo-mapgen render.
#pragma once

#include "canvas.h"
#include "mapshape.h"

namespace brallo::mapgen {

/// The longest side of any picture the tool makes, to keep a typo in a map from asking for
/// gigabytes.
inline constexpr int32_t maxPictureSide = 16384;

/// A picture from the world origin to the far corner of the map (at least 1 by 1). Block and
/// platform pixels are opaque exactly inside their rectangles; shapes at negative coordinates
/// are cut off, since the game draws this picture with its top-left corner at the origin.
/// Throws std::runtime_error when the map reaches beyond maxPictureSide.
Canvas renderForeground(const MapShape& shape);

}  // namespace brallo::mapgen
