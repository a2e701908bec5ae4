// What the pictures of a map are made from: its blocks, platforms, weapon spots, background
// colour and extent, taken from the world that the game's own map reader builds from the text,
// so a picture shows exactly what the game loads. Called by the renderers and by --check.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "brallo/game/world.h"

namespace brallo::mapgen {

struct MapShape {
    std::vector<game::Block> blocks;  ///< solid blocks and platforms, in file order
    std::vector<game::Rect> silver;   ///< rectangles of silver weapon spots
    std::vector<game::Rect> gold;     ///< rectangles of gold weapon spots
    game::Color bg;                   ///< the "c" record's colour (black without one)
    /// The smallest rectangle holding every block and spot; all 0 for an empty map.
    int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;  ///< maxX, maxY: one past the last pixel
};

/// Reads a map text with the game's reader; throws its MapError on a bad text.
MapShape loadMapShape(std::string_view bytes);

/// The map's name from its text file's path: "maps/tower.txt" gives "tower".
std::string_view mapNameOf(std::string_view path);

}  // namespace brallo::mapgen
