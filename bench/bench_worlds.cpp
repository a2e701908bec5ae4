// Scattered blocks, players on them and projectiles in flight, from a seeded generator.
#include "bench_worlds.h"

#include <algorithm>
#include <random>

#include "brallo/game/broadphase.h"
#include "brallo/game/weapon.h"

namespace brallo::bench {

using game::Block;
using game::Fint;
using game::Thing;
using game::Vec;

int32_t liveThings(const game::World& w) {
    int32_t n = 0;
    for (const game::ThingContainer& tc : w.things) n += tc.used ? 1 : 0;
    return n;
}

game::World makeWorld(const WorldShape& shape, uint32_t seed) {
    std::mt19937 rnd(seed);
    auto between = [&rnd](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rnd);
    };
    game::World w;
    game::setupPlayers(w, shape.players, 0);
    w.rnd.seed(seed);
    w.gameMode = U'm';
    w.winPoints = 1'000'000;
    w.blocks.push_back(Block{{0, shape.height}, {shape.width, 40}, false});
    while (static_cast<int32_t>(w.blocks.size()) < shape.blocks) {
        w.blocks.push_back(Block{{between(0, shape.width - 200), between(100, shape.height - 40)},
                                 {between(32, 200), between(16, 40)},
                                 between(0, 3) == 0});
    }
    for (size_t i = 0; i < w.players.size(); ++i) {
        const Block& b = w.blocks[1 + i * (w.blocks.size() - 1) / w.players.size()];
        w.players[i].pos = {b.pos.x, b.pos.y - 35};
    }

    const auto& weapons = game::allWeapons();
    // Like game::addThing (first free slot), without its scan from the start for every thing.
    size_t freeSlot = 0;
    int32_t live = 0;
    auto put = [&](const Thing& t) {
        while (freeSlot < w.things.size() && w.things[freeSlot].used) ++freeSlot;
        if (freeSlot == w.things.size()) w.things.emplace_back();
        w.things[freeSlot] = game::ThingContainer{true, t};
        ++live;
    };
    auto addOne = [&] {
        if (between(0, 99) == 0) {
            put(game::weaponSpot(w, {between(0, shape.width), between(0, shape.height)},
                                 between(0, 1) == 0));
            return;
        }
        Thing t = weapons[static_cast<size_t>(between(0, game::weaponCount - 1))]->projectile();
        // A quarter have missed and fly on far beyond the map, as they do in a long match.
        const bool far = between(0, 3) == 0;
        t.pos = far ? Vec<int32_t>{between(-2'000'000, 2'000'000), between(-2'000'000, 2'000'000)}
                    : Vec<int32_t>{between(0, shape.width), between(0, shape.height)};
        t.speed = {Fint(between(0, 1) == 0 ? -t.speed.x.toInt() : t.speed.x.toInt()),
                   Fint(between(-3, 3))};
        t.owner = between(0, shape.players - 1);
        put(t);
    };
    // Things that start inside a block or a player are gone after one step: refill until the
    // scene holds the count.
    for (int round = 0; round < 8; ++round) {
        while (live < shape.things) addOne();
        game::World probe = w;
        game::resolveThingsIndexed(probe);
        for (size_t i = 0; i < w.things.size(); ++i) {
            if (!probe.things[i].used && w.things[i].used) {
                w.things[i].used = false;
                --live;
                freeSlot = std::min(freeSlot, i);
            }
        }
    }
    while (live < shape.things) addOne();
    for (game::Player& p : w.players) p.invicible = 0;
    return w;
}

}  // namespace brallo::bench
