// The projectile step: things accelerate, move, and report overlaps to their own kind.
#include <algorithm>
#include <bit>
#include <span>

#include "brallo/game/broadphase.h"
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

// Thing::rect(), here where the compiler can inline it into the loop over every thing; the
// differential test holds the two together.
inline Rect rectOf(const Thing& t) {
    const int32_t side = wrapAdd(wrapMul(2, t.size), 1);
    return Rect{wrapSub(t.pos.x, t.size), wrapSub(t.pos.y, t.size), side, side};
}

// Moves a thing by its speed after adding its acceleration.
void advance(Thing& t) {
    t.speed.x += t.acceleration.x;
    t.speed.y += t.acceleration.y;
    t.pos.x = wrapAdd(t.pos.x, t.speed.x.toInt());
    t.pos.y = wrapAdd(t.pos.y, t.speed.y.toInt());
}

// The plain scan for one thing, from player `firstPlayer` and block `firstBlock` on.
void scanFrom(World& world, ThingContainer& tc, size_t firstPlayer, size_t firstBlock) {
    Thing& t = tc.t;
    // Players before blocks: a projectile touching a player and a wall hits the player.
    for (size_t i = firstPlayer; i < world.players.size(); ++i) {
        Player& p = world.players[i];
        if (tc.used && collide(bounds(p), t.rect()) && hitPlayer(world, t, p)) tc.used = false;
    }
    for (size_t i = firstBlock; i < world.blocks.size(); ++i) {
        const Block& b = world.blocks[i];
        if (tc.used && collide(bounds(b), t.rect()) && hitBlock(t, b)) tc.used = false;
    }
}

// Offers the thing the blocks among `candidates` (increasing indices, a superset of those it
// touches) like the plain scan would. A callback that keeps the thing but moves it makes the
// candidates stale: the rest is then scanned.
void offerBlocks(World& world, const Broadphase& grid, ThingContainer& tc, const Rect& r,
                 const Span& s, std::span<const uint32_t> candidates) {
    Thing& t = tc.t;
    for (uint32_t i : candidates) {
        if (!overlap(grid.blockSpan(i), s)) continue;
        const Block& b = world.blocks[i];
        if (hitBlock(t, b)) {
            tc.used = false;
            return;
        }
        if (t.rect() != r) {
            scanFrom(world, tc, world.players.size(), size_t{i} + 1);
            return;
        }
    }
}

// After a player callback that kept the thing: the remaining players in the plain way. True
// when the thing is still there and where it was, so the blocks can come from the grid.
bool finishPlayers(World& world, ThingContainer& tc, const Rect& r, size_t next) {
    Thing& t = tc.t;
    for (size_t i = next; i < world.players.size(); ++i) {
        Player& p = world.players[i];
        if (tc.used && collide(bounds(p), t.rect()) && hitPlayer(world, t, p)) tc.used = false;
    }
    if (!tc.used) return false;
    if (t.rect() != r) {
        scanFrom(world, tc, world.players.size(), 0);
        return false;
    }
    return true;
}

// The grid's answer for one thing whose rectangle does not wrap, in the plain scan's order.
void resolveIndexed(World& world, Broadphase& grid, bool& playersMoved, ThingContainer& tc) {
    Thing& t = tc.t;
    const Rect r = rectOf(t);
    const Span s = spanOf(r);
    if (!s.ordered()) {
        scanFrom(world, tc, 0, 0);
        playersMoved = true;
        return;
    }
    // The cells only when a player or block is near: a quarter of the things in a long match
    // are far out of the map.
    CellRange cells;
    bool haveCells = false;

    // A callback may move players (a death respawns): the masks are rebuilt before the next
    // thing looks at them, and this thing meets the remaining players in the plain way.
    if (!grid.playersIndexed()) {
        for (size_t i = 0; i < world.players.size(); ++i) {
            Player& p = world.players[i];
            if (!collide(bounds(p), r)) continue;
            playersMoved = true;
            if (hitPlayer(world, t, p)) {
                tc.used = false;
                return;
            }
            if (!finishPlayers(world, tc, r, i + 1)) return;
            break;
        }
    } else {
        if (playersMoved) {
            grid.syncPlayers(world.players);
            playersMoved = false;
        }
        const size_t n = world.players.size();
        uint64_t m = grid.playersEverywhere();
        if (grid.nearPlayers(s)) {
            cells = grid.cells(s);
            haveCells = true;
            m |= grid.playersIn(cells);
        }
        if (n < 64) m &= (uint64_t{1} << n) - 1;
        while (m != 0) {
            const size_t i = static_cast<size_t>(std::countr_zero(m));
            m &= m - 1;
            if (!overlap(grid.playerSpan(i), s)) continue;
            playersMoved = true;
            if (hitPlayer(world, t, world.players[i])) {
                tc.used = false;
                return;
            }
            if (!finishPlayers(world, tc, r, i + 1)) return;
            break;
        }
    }

    const auto everywhere = grid.everywhere();
    if (!grid.nearBlocks(s)) {
        if (!everywhere.empty()) offerBlocks(world, grid, tc, r, s, everywhere);
        return;
    }
    if (!haveCells) cells = grid.cells(s);
    if (cells.count() == 1 && everywhere.empty()) {
        offerBlocks(world, grid, tc, r, s, grid.blocksIn(cells.x0, cells.y0));
    } else if (cells.count() > Broadphase::maxQueryCells) {
        scanFrom(world, tc, world.players.size(), 0);
    } else {
        // Only the blocks that touch the thing are kept, so there is seldom anything to sort;
        // a block over several cells shows up once per cell.
        std::vector<uint32_t>& merged = grid.scratch();
        merged.clear();
        auto keep = [&](std::span<const uint32_t> blocks) {
            for (uint32_t i : blocks) {
                if (overlap(grid.blockSpan(i), s)) merged.push_back(i);
            }
        };
        keep(everywhere);
        for (int32_t cy = cells.y0; cy <= cells.y1; ++cy) {
            for (int32_t cx = cells.x0; cx <= cells.x1; ++cx) keep(grid.blocksIn(cx, cy));
        }
        if (merged.size() > 1) {
            std::sort(merged.begin(), merged.end());
            merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
        }
        offerBlocks(world, grid, tc, r, s, merged);
    }
}

}  // namespace

void resolveThingsReference(World& world) {
    // Callbacks change players and match state only, never the table, so indices stay valid.
    for (ThingContainer& tc : world.things) {
        if (!tc.used) continue;
        advance(tc.t);
        scanFrom(world, tc, 0, 0);
    }
}

void resolveThingsIndexed(World& world) {
    Broadphase& grid = world.broadphase.get();
    grid.syncBlocks(world.blocks);
    grid.syncPlayers(world.players);
    bool playersMoved = false;
    // Most things touch nothing, and for those at most `slack` pixels across the grid says so
    // at a glance.
    bool quickLook = grid.quickUsable();
    Broadphase::Quick quick = grid.quick();
    for (ThingContainer& tc : world.things) {
        if (!tc.used) continue;
        Thing& t = tc.t;
        advance(t);
        // The span's width and height alike: 2 * size (wrapping), as in rectOf and spanOf.
        const uint32_t across = 2 * static_cast<uint32_t>(t.size);
        const int32_t x0 = wrapSub(t.pos.x, t.size), y0 = wrapSub(t.pos.y, t.size);
        const int32_t reach = static_cast<int32_t>(across);
        if (across < static_cast<uint32_t>(Broadphase::slack) && x0 <= wrapAdd(x0, reach) &&
            y0 <= wrapAdd(y0, reach)) {
            if (playersMoved) {
                grid.syncPlayers(world.players);
                playersMoved = false;
                quickLook = grid.quickUsable();
                quick = grid.quick();
            }
            if (quickLook && !quick.mayTouch(x0, y0)) continue;
        }
        resolveIndexed(world, grid, playersMoved, tc);
    }
}

void resolveThings(World& world) {
    if (world.blocks.size() < Broadphase::minBlocks) {
        resolveThingsReference(world);
    } else {
        resolveThingsIndexed(world);
    }
}

}  // namespace brallo::game
