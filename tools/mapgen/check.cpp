// The checks run the real simulation: the same step and handleMessage the clients run, on a
// world loaded by the client's map reader, with one player.
#include "check.h"

#include <algorithm>
#include <exception>

#include "brallo/game/spots.h"
#include "brallo/game/world.h"
#include "brallo/main/maptext.h"
#include "foreground.h"
#include "mapshape.h"
#include "stateset.h"

namespace brallo::mapgen {

namespace {

using game::Player;
using game::Rect;

// The part of a player that carries over from tick to tick and decides where it can go.
struct State {
    game::Vec<int32_t> pos;
    game::Vec<game::Fint> speed;
    uint32_t lastStood = 0;
};

State stateOf(const Player& p) {
    return State{p.pos, p.speed, p.lastStood};
}

void put(Player& p, const State& s) {
    p.pos = s.pos;
    p.speed = s.speed;
    p.lastStood = s.lastStood;
}

// One way to get from standing to standing again: hold `first` for `firstTicks` ticks, then
// `second` for `secondTicks` ticks, then nothing until the player lands. Walks are short, so a
// walk that ends on the ground is a new standing place; walking off an edge becomes a fall.
struct Move {
    std::string_view first;
    int32_t firstTicks;
    std::string_view second;
    int32_t secondTicks;
};

constexpr int32_t forever = 1 << 20;
constexpr int32_t walkTicks = 6;
constexpr int32_t maxFlightTicks = 600;

// Walks, and jumps of two heights in three directions with the steering a player uses to reach
// a ledge: none, a short push, a longer one, or holding on until landing.
const std::vector<Move>& movesToTry() {
    static const std::vector<Move> moves = [] {
        std::vector<Move> m = {{"_l_", walkTicks, "_l_", forever},
                               {"_l_", walkTicks, "___", 0},
                               {"_r_", walkTicks, "_r_", forever},
                               {"_r_", walkTicks, "___", 0}};
        for (std::string_view jump : {"j__", "jl_", "jr_"}) {
            for (int32_t hold : {8, 20}) {
                m.push_back({jump, hold, "___", 0});
                for (std::string_view steer : {"_l_", "_r_"}) {
                    for (int32_t ticks : {8, 20, forever}) m.push_back({jump, hold, steer, ticks});
                }
            }
        }
        return m;
    }();
    return moves;
}

// Standing places that differ by less than 8 pixels along the floor and have the same way of
// moving (left, still, right) count as one.
uint64_t keyOf(const State& s) {
    const auto field = [](int64_t v, int bits) {
        return static_cast<uint64_t>(
            std::clamp<int64_t>(v + (int64_t{1} << (bits - 1)), 0, (int64_t{1} << bits) - 1));
    };
    const int32_t moving = s.speed.x.a <= -512 ? 0 : s.speed.x.a >= 512 ? 2 : 1;
    return (field(s.pos.x >> 3, 24) << 26) | (field(s.pos.y, 24) << 2) |
           static_cast<uint64_t>(moving);
}

std::string at(int32_t x, int32_t y) {
    return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

struct Spot {
    Rect rect;
    std::string name;
    bool reached = false;
};

// A search over standing places: from each one every move of movesToTry() is played out with
// step(), and wherever the player stands again is a new place. The world holds the player and
// the blocks only; spots are tested here, so nothing the player touches changes the world.
struct Search {
    game::World& world;
    std::vector<Spot>& spots;
    CheckResult& result;
    int32_t floorOfWorld;  // below this a player has left every block behind
    bool fell = false;

    void touch(const Player& p) {
        const Rect box = p.getBounds();
        for (Spot& s : spots) {
            if (!s.reached && game::collide(box, s.rect)) {
                s.reached = true;
                ++result.spotsReached;
            }
        }
    }

    // Plays `move` from standing at `from`; true and the new standing state in `to` when the
    // player lands again.
    bool play(const Player& templ, const State& from, const Move& move, State& to) {
        Player& p = world.players[0];
        p = templ;
        put(p, from);
        game::handleMessage(world, move.first, 0);
        for (int32_t tick = 0; tick < move.firstTicks + maxFlightTicks; ++tick) {
            if (tick == move.firstTicks) game::handleMessage(world, move.second, 0);
            if (tick == move.firstTicks + move.secondTicks) {
                game::handleMessage(world, "___", 0);
            }
            game::step(world);
            touch(p);
            if (p.pos.y > floorOfWorld) {
                if (!fell) {
                    result.problems.push_back("a player can fall out of the world near " +
                                              at(from.pos.x, from.pos.y));
                    fell = true;
                }
                return false;
            }
            // On the ground, lastStood is 1 after each step: it was reset, then counted once.
            if (tick + 1 >= move.firstTicks && p.lastStood == 1) {
                to = stateOf(p);
                return true;
            }
        }
        return false;
    }

    // `start` is a copy: the world's own player is overwritten for every move.
    void run(const Player start, int64_t maxStates) {
        StateSet visited(maxStates);
        std::vector<State> queue{stateOf(start)};
        visited.insert(keyOf(queue.front()));
        touch(start);
        for (size_t head = 0; head < queue.size(); ++head) {
            const State from = queue[head];
            for (const Move& move : movesToTry()) {
                State to;
                if (play(start, from, move, to) && visited.insert(keyOf(to))) {
                    queue.push_back(to);
                }
            }
        }
        result.statesExplored = static_cast<int64_t>(queue.size());
        result.searchComplete = visited.size() < maxStates;
    }
};

}  // namespace

CheckResult checkMap(std::string_view mapText, const CheckOptions& options) {
    CheckResult result;
    game::World world;
    game::Color bg;
    try {
        applyMapText(mapText, world, bg);
    } catch (const std::exception& e) {
        result.problems.push_back(std::string("the map does not load: ") + e.what());
        return result;
    }

    int32_t floorOfWorld = game::spawnPoint.y;
    for (const game::Block& b : world.blocks) {
        if (b.pos.x < 0 || b.pos.y < 0) {
            result.problems.push_back("the block at " + at(b.pos.x, b.pos.y) +
                                      " starts left of or above the foreground picture");
        }
        if (b.size.x <= 0 || b.size.y <= 0) {
            result.problems.push_back("the block at " + at(b.pos.x, b.pos.y) + " has no area");
        }
        floorOfWorld = std::max<int32_t>(floorOfWorld, game::bottom(b));
    }
    floorOfWorld = static_cast<int32_t>(std::min<int64_t>(int64_t{floorOfWorld} + 200, INT32_MAX));

    std::vector<Spot> spots;
    for (const game::ThingContainer& tc : world.things) {
        if (!tc.used || tc.t.kind != game::ThingKind::weaponSpot) continue;
        const Rect r = tc.t.rect();
        const bool gold = tc.t.color == game::goldSpotColor;
        spots.push_back(Spot{
            r, std::string(gold ? "gold" : "silver") + " spot at " + at(tc.t.pos.x, tc.t.pos.y)});
        if (r.x < 0 || r.y < 0) {
            result.problems.push_back("the " + spots.back().name +
                                      " reaches left of or above the foreground picture");
        }
    }
    result.spots = static_cast<int32_t>(spots.size());
    const MapShape shape = loadMapShape(mapText);
    if (shape.maxX > maxPictureSide || shape.maxY > maxPictureSide) {
        result.problems.push_back("the map reaches " + at(shape.maxX, shape.maxY) +
                                  ", beyond the largest picture of " +
                                  std::to_string(maxPictureSide) + " pixels a side");
    }

    game::setupPlayers(world, 1, 0);
    Player& p = world.players[0];
    for (int32_t tick = 1; tick <= options.landTicks; ++tick) {
        game::handleMessage(world, "___", 0);
        game::movePlayers(world);
        // resolvePlayers only ever writes 0 here, on landing; a marker shows whether it did.
        const uint32_t stood = p.lastStood;
        p.lastStood = 1;
        game::resolvePlayers(world);
        const bool landed = p.lastStood == 0;
        if (!landed) p.lastStood = stood;
        game::resolveThings(world);
        game::increment(world);
        if (landed) {
            result.landedAfter = tick;
            break;
        }
    }
    if (result.landedAfter < 0) {
        result.problems.push_back("a player spawned at " +
                                  at(game::spawnPoint.x, game::spawnPoint.y) +
                                  " does not land within " + std::to_string(options.landTicks) +
                                  " ticks (it is at " + at(p.pos.x, p.pos.y) + " then)");
        return result;
    }

    world.things.clear();
    Search search{world, spots, result, floorOfWorld};
    search.run(p, options.maxStates);
    for (const Spot& s : spots) {
        if (!s.reached) {
            result.problems.push_back("the " + s.name + " cannot be reached from the spawn" +
                                      (result.searchComplete ? "" : " within the search bound"));
        }
    }
    return result;
}

}  // namespace brallo::mapgen
