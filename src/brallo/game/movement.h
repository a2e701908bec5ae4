// The pieces of player movement and block collision: approach of a speed toward a target and
// the side-by-side push out of a block. Reads and writes Player records; called by
// movePlayers and resolvePlayers (movement.cpp) and by the tests.
#pragma once

#include <cstdint>

#include "brallo/game/world.h"

namespace brallo::game {

/// Closes 1/q of the gap between `f` and the whole number `target`, truncated toward zero.
/// A divisor below 1 counts as 1, so no command order can divide by zero.
void accelerate(Fint& f, int32_t target, int32_t q);

/// top <-> bottom, left <-> right.
Side opposite(Side s);
/// The coordinate of side `s`: top, left, right or bottom of the record.
int32_t sideOf(Side s, const Player& p);
int32_t sideOf(Side s, const Block& b);
/// The player's speed across side `s` in whole pixels: speed.y for top and bottom, speed.x for
/// left and right.
int32_t speedOf(Side s, const Player& p);
/// a > b for top and left, a < b for right and bottom: "the player came from outside side s".
bool compOf(Side s, int32_t a, int32_t b);
/// Moves the player by `add` plus one pixel away from the block across side `s`, and raises a
/// negative speed component across that side to zero.
void adjust(Side s, Player& p, int32_t add);
/// What resolvePlayers does for one block the player overlaps: the push out across the first
/// side (top, left, right, bottom; platforms only from above) the player came through.
void pushOut(Player& p, const Block& block);
/// resolvePlayers by the plain scan: every player against every block in order. The reference
/// for the faster path through the block grid (broadphase.h).
void resolvePlayersReference(World& world);

}  // namespace brallo::game
