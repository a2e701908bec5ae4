// The projectile step: things accelerate, move, and report overlaps to their own kind.
#include "brallo/game/spots.h"
#include "brallo/game/weapon.h"
#include "brallo/game/world.h"

namespace brallo::game {

namespace {

bool hitPlayer(World& world, Thing& t, Player& p) {
    switch (t.kind) {
        case ThingKind::projectile:
            return t.weapon != nullptr && t.weapon->hitPlayer(world, t, p);
        case ThingKind::weaponSpot:
            return pickup(world, t, p);
    }
    return false;
}

bool hitBlock(Thing& t, const Block& b) {
    switch (t.kind) {
        case ThingKind::projectile:
            return t.weapon != nullptr && t.weapon->hitBlock(t, b);
        case ThingKind::weaponSpot:
            return false;
    }
    return false;
}

}  // namespace

void resolveThings(World& world) {
    // Callbacks change players and match state only, never the table, so indices stay valid.
    for (ThingContainer& tc : world.things) {
        if (!tc.used) continue;
        Thing& t = tc.t;
        t.speed.x += t.acceleration.x;
        t.speed.y += t.acceleration.y;
        t.pos.x = wrapAdd(t.pos.x, t.speed.x.toInt());
        t.pos.y = wrapAdd(t.pos.y, t.speed.y.toInt());
        // Players before blocks: a projectile touching a player and a wall hits the player.
        for (Player& p : world.players) {
            if (tc.used && collide(bounds(p), t.rect()) && hitPlayer(world, t, p)) {
                tc.used = false;
            }
        }
        for (const Block& b : world.blocks) {
            if (tc.used && collide(bounds(b), t.rect()) && hitBlock(t, b)) tc.used = false;
        }
    }
}

}  // namespace brallo::game
