// Weapon spots: the pickup of a random weapon from the list a spot captured, and the exactly
// uniform draw from the world's generator. Reads and writes World::rnd, Player records and
// World::spotLists; called by resolveThings (things.cpp), by map loading through weaponSpot
// (world.h) and by the tests.
#pragma once

#include <cstdint>
#include <random>

#include "brallo/game/world.h"

namespace brallo::game {

inline constexpr Color silverSpotColor{150, 150, 200};
inline constexpr Color goldSpotColor{200, 180, 130};
inline constexpr int32_t spotSize = 6;  ///< half-extent: a 13 by 13 square

/// An index below `n` (n >= 1), uniform over the outputs of `next` (a source of unsigned 32-bit
/// numbers): an output whose bucket of n values would be cut short at 2^32 is rejected and the
/// next one drawn, so at least one output is used per draw.
template <typename Next>
uint32_t drawBelow(Next&& next, uint32_t n) {
    const uint32_t lastFront = 0u - n;  // 2^32 - n
    for (;;) {
        const auto r = static_cast<uint32_t>(next());
        const uint32_t offset = r % n;
        if (r - offset <= lastFront) return offset;
    }
}

/// drawBelow over the outputs of `rnd`.
uint32_t uniformIndex(std::mt19937& rnd, uint32_t n);

/// The spot `self` touched `p`: a player without ammunition takes a random weapon of the spot's
/// list. An empty list gives nothing and draws nothing. Always false: spots stay.
bool pickup(World& world, const Thing& self, Player& p);

}  // namespace brallo::game
