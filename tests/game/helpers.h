// Small builders shared by the simulation tests: worlds with players and a floor.
#pragma once

#include <cstdint>

#include "brallo/game/weapon.h"
#include "brallo/game/world.h"

namespace brallo::game::testing_support {

/// The floor of the movement scenarios: a player standing on it has pos.y 365.
inline constexpr Block floorBlock{Vec<int32_t>(0, 400), Vec<int32_t>(800, 20), false};

/// A world after match setup with `count` players, player 0 being the own one.
inline World worldWith(int32_t count, int32_t myself = 0) {
    World w;
    setupPlayers(w, count, myself);
    return w;
}

/// The number of used slots of the things table.
inline int usedThings(const World& w) {
    int n = 0;
    for (const ThingContainer& tc : w.things) n += tc.used ? 1 : 0;
    return n;
}

}  // namespace brallo::game::testing_support
