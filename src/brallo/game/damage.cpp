// Hits, death and respawn, kill scoring and the per-tick counters.
#include "brallo/game/damage.h"

namespace brallo::game {

bool Player::damage(int32_t amount, char32_t gameMode) {
    if (invicible > 0) return false;
    live = wrapSub(live, amount);
    invicible = hitInvincibility;
    if (live <= 0) {
        onDeath(gameMode);
        return true;
    }
    return false;
}

void Player::onDeath(char32_t gameMode) {
    // Everything else (speed, weapon, ammo, counters, command) survives the respawn.
    pos = spawnPoint;
    live = lifePoints;
    invicible = respawnInvincibility;
    if (gameMode == U'm') {
        points = wrapSub(points, 1);
        if (points < 0) points = 0;
    } else if (gameMode == U's') {
        points = 0;
    }
}

void scoreKill(World& world, int32_t owner, const Player& victim) {
    if (owner < 0 || static_cast<size_t>(owner) >= world.players.size()) return;
    Player& o = world.players[static_cast<size_t>(owner)];
    if (&o == &victim) {
        o.points = wrapSub(o.points, 1);
        if (o.points < 0) o.points = 0;
        return;
    }
    o.points = wrapAdd(o.points, 1);
    if (o.points == world.winPoints && world.endState == EndState::none) {
        world.endState = owner == world.myself ? EndState::win : EndState::lose;
    }
}

void increment(World& world) {
    for (Player& p : world.players) {
        p.lastStood += 1;  // unsigned: wraps after an endless fall
        p.coolDown = wrapAdd(p.coolDown, 1);
        if (p.invicible > 0) p.invicible -= 1;
    }
}

}  // namespace brallo::game
