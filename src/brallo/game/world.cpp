// Geometry of the records, the things table, match setup and the order of one tick.
#include "brallo/game/world.h"

#include <string>

#include "brallo/game/weapon.h"

namespace brallo::game {

// A slot is copied whenever a thing is added; keep it within one cache line.
static_assert(sizeof(ThingContainer) <= 64);

World::World() : silverList{&fireBall}, goldList{&purpleBall} {}

bool collide(const Rect& r1, const Rect& r2) {
    // Right and bottom edges are inclusive; the sums wrap like the 32-bit ints they stand for.
    if (wrapSub(wrapAdd(r1.x, r1.w), 1) < r2.x) return false;
    if (wrapSub(wrapAdd(r2.x, r2.w), 1) < r1.x) return false;
    if (wrapSub(wrapAdd(r1.y, r1.h), 1) < r2.y) return false;
    if (wrapSub(wrapAdd(r2.y, r2.h), 1) < r1.y) return false;
    return true;
}

Rect Player::getBounds() const {
    int32_t lower = crouching ? 10 : 0;
    return Rect{pos.x, wrapAdd(pos.y, lower), 20, 35 - lower};
}

Rect Thing::rect() const {
    int32_t side = wrapAdd(wrapMul(2, size), 1);
    return Rect{wrapSub(pos.x, size), wrapSub(pos.y, size), side, side};
}

Rect bounds(const Player& p) {
    return p.getBounds();
}
Rect bounds(const Block& b) {
    return Rect{b.pos.x, b.pos.y, b.size.x, b.size.y};
}

int32_t top(const Player& p) {
    return p.pos.y;
}
int32_t left(const Player& p) {
    return p.pos.x;
}
int32_t right(const Player& p) {
    return wrapAdd(p.pos.x, 19);
}
int32_t bottom(const Player& p) {
    return wrapAdd(p.pos.y, 34);
}
int32_t top(const Block& b) {
    return b.pos.y;
}
int32_t left(const Block& b) {
    return b.pos.x;
}
int32_t right(const Block& b) {
    return wrapSub(wrapAdd(b.pos.x, b.size.x), 1);
}
int32_t bottom(const Block& b) {
    return wrapSub(wrapAdd(b.pos.y, b.size.y), 1);
}

void addThing(std::vector<ThingContainer>& tcs, const Thing& t) {
    for (ThingContainer& tc : tcs) {
        if (!tc.used) {
            tc = ThingContainer{true, t};
            return;
        }
    }
    tcs.push_back(ThingContainer{true, t});
}

void setupPlayers(World& world, int32_t count, int32_t myself) {
    if (count < 1 || count > maxPlayers) {
        throw GameError("Bad player count: " + std::to_string(count));
    }
    if (myself < 0 || myself >= count) {
        throw GameError("Bad own player number: " + std::to_string(myself) + " of " +
                        std::to_string(count) + " players");
    }
    Player start;
    start.pos = spawnPoint;
    start.acquire(fireBall);
    world.players.assign(static_cast<size_t>(count), start);
    world.myself = myself;
}

void step(World& world) {
    movePlayers(world);
    resolvePlayers(world);
    resolveThings(world);
    increment(world);
}

}  // namespace brallo::game
