// Players against blocks through the block grid: the same push outs, in the same order, as the
// plain scan of every block for every player.
#include "brallo/game/broadphase.h"
#include "brallo/game/movement.h"

namespace brallo::game {

namespace {

bool sameSpan(const Span& a, const Span& b) {
    return a.x0 == b.x0 && a.x1 == b.x1 && a.y0 == b.y0 && a.y1 == b.y1;
}

// The plain scan for one player from block `first` on.
void scanFrom(World& world, Player& p, size_t first) {
    for (size_t i = first; i < world.blocks.size(); ++i) {
        const Block& block = world.blocks[i];
        if (collide(bounds(p), bounds(block))) pushOut(p, block);
    }
}

}  // namespace

void resolvePlayersIndexed(World& world) {
    Broadphase& grid = world.broadphase.get();
    grid.syncBlocks(world.blocks);
    std::vector<uint32_t>& touching = grid.scratch();
    for (Player& p : world.players) {
        // A push moves the player, and the blocks after it must be met where the player is now:
        // the grid is asked again for those.
        size_t from = 0;
        for (;;) {
            Span s = spanOf(bounds(p));
            if (!s.ordered() || !grid.blocksTouching(s, from, touching)) {
                scanFrom(world, p, from);
                break;
            }
            bool moved = false;
            for (uint32_t i : touching) {
                pushOut(p, world.blocks[i]);
                const Span now = spanOf(bounds(p));
                if (!sameSpan(now, s)) {
                    from = size_t{i} + 1;
                    moved = true;
                    break;
                }
            }
            if (!moved) break;
        }
    }
}

void resolvePlayers(World& world) {
    if (world.blocks.size() < Broadphase::minBlocks) {
        resolvePlayersReference(world);
    } else {
        resolvePlayersIndexed(world);
    }
}

}  // namespace brallo::game
