// The colours of a map's pictures, chosen from its background colour so that every map has a
// look of its own: a green land under a day sky, sandstone under a warm sky, frost at night.
// Called by the foreground and parallax renderers.
#pragma once

#include "brallo/game/world.h"
#include "canvas.h"

namespace brallo::mapgen {

struct Palette {
    Pixel sky;        ///< the background colour itself
    Pixel stone;      ///< body of solid blocks
    Pixel crust;      ///< the top layer of solid blocks (grass, sand, frost)
    Pixel wood;       ///< platforms
    Pixel farHills;   ///< the distant mountains of the far layer
    Pixel nearHills;  ///< the hills of the near layer
    Pixel cloud;
    bool night = false;  ///< a dark sky: stars and a moon instead of a sun
};

Palette paletteFor(game::Color bg);

}  // namespace brallo::mapgen
