// Life and death: the constants of hits and respawns, and the scoring of a kill.
// Reads and writes Player records and the match settings of a World; called by the weapons'
// hit operation (weapons.cpp) and by the tests.
#pragma once

#include <cstdint>

#include "brallo/game/world.h"

namespace brallo::game {

inline constexpr int32_t lifePoints = 5;              ///< live at the start of every life
inline constexpr int32_t hitInvincibility = 50;       ///< ticks after a hit that did not kill
inline constexpr int32_t respawnInvincibility = 100;  ///< ticks after a respawn

/// Scores a kill of `victim` by world.players[owner] (a projectile's owner; -1 or any number
/// outside the table scores nothing). A self-kill costs a point; any other kill gains one and
/// decides the match for this client when it reaches winPoints exactly.
void scoreKill(World& world, int32_t owner, const Player& victim);

}  // namespace brallo::game
