// Worlds for the benchmarks: a typical match and a stress world with tens of thousands of live
// things, made from a seed so every run measures the same scene. Used by the simulation and the
// drawing benchmarks.
#pragma once

#include <cstdint>

#include "brallo/game/world.h"

namespace brallo::bench {

struct WorldShape {
    int32_t players;
    int32_t blocks;
    int32_t things;  ///< live things after the scene has settled
    int32_t width;   ///< the map's extent in pixels; a quarter of the things fly beyond it
    int32_t height;
};

/// 4 players, 60 blocks, 100 things on a 1600 by 1000 map.
inline constexpr WorldShape typicalMatch{4, 60, 100, 1600, 1000};
/// 16 players, 2,000 blocks, 50,000 things on a 12800 by 6400 map.
inline constexpr WorldShape stressWorld{16, 2000, 50000, 12800, 6400};

/// A world of that shape: blocks scattered over the map with a floor, players standing on
/// blocks without commands, projectiles and some weapon spots in flight (none inside a block).
game::World makeWorld(const WorldShape& shape, uint32_t seed = 1);

/// The number of used slots of the things table.
int32_t liveThings(const game::World& w);

}  // namespace brallo::bench
