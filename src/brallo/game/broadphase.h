// The lookup that lets the things step test a thing only against the blocks and players near it:
// a uniform grid over the blocks (rebuilt whenever the blocks differ from those it was built
// from) and, on the same grid, a mask of the players in each cell. Reads the world's blocks and
// players; used by resolveThings (things.cpp) through World::broadphase.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "brallo/game/world.h"

namespace brallo::game {

/// Cells [x0, x1] x [y0, y1] of the grid, both ends inclusive.
struct CellRange {
    int32_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    int64_t count() const { return int64_t{x1 - x0 + 1} * (y1 - y0 + 1); }
};

/// The rectangle a collision needs: the thing's rectangle with its inclusive right and bottom
/// edges, and whether those edges wrapped around (such a rectangle is not looked up in the grid).
struct Span {
    int32_t x0, x1, y0, y1;
    bool ordered() const { return x0 <= x1 && y0 <= y1; }
};
Span spanOf(const Rect& r);

class Broadphase {
  public:
    /// The grid is built only for at least this many blocks; below, a plain scan is as fast.
    static constexpr size_t minBlocks = 16;
    /// A query over more cells than this scans every block instead.
    static constexpr int64_t maxQueryCells = 64;
    /// Players beyond this count are scanned one by one (the masks have 64 bits).
    static constexpr size_t maxIndexedPlayers = 64;

    /// Makes the block grid match `blocks`; a no-op (one comparison pass) when it does already.
    void syncBlocks(const std::vector<Block>& blocks);
    /// Records where the players are now; needed after anything moved a player.
    void syncPlayers(const std::vector<Player>& players);
    bool playersIndexed() const { return playersIndexed_; }

    /// The cells an ordered span touches, clamped to the grid: anything outside the grid falls
    /// into the border cells, so two spans that overlap always share a cell.
    CellRange cells(const Span& s) const;
    /// False when no block of the grid can touch the span (blocks in `everywhere` aside).
    bool nearBlocks(const Span& s) const;
    /// Block indices registered in one cell, increasing.
    std::span<const uint32_t> blocksIn(int32_t cx, int32_t cy) const;
    /// Blocks too large for the cells: candidates for every thing, increasing.
    std::span<const uint32_t> everywhere() const { return everywhere_; }
    /// Bit i set: player i may touch a span over these cells.
    uint64_t playersIn(const CellRange& r, const Span& s) const;

    /// A buffer for merging candidates; kept to avoid allocating in every step.
    std::vector<uint32_t>& scratch() { return scratch_; }

  private:
    int32_t cellX(int32_t x) const;
    int32_t cellY(int32_t y) const;

    std::vector<Block> source_;  ///< the blocks the grid was built from
    bool built_ = false;
    int64_t originX_ = 0, originY_ = 0;
    int shift_ = 5;
    int32_t columns_ = 1, rows_ = 1;
    int64_t minX_ = 0, maxX_ = -1, minY_ = 0, maxY_ = -1;  ///< extent of the gridded blocks
    std::vector<uint32_t> cellStart_;                      ///< columns * rows + 1 offsets
    std::vector<uint32_t> cellBlocks_;
    std::vector<uint32_t> everywhere_;

    bool playersIndexed_ = false;
    std::vector<uint64_t> playerMask_;  ///< per cell, zero outside `touched_`
    std::vector<uint32_t> touched_;
    uint64_t playersEverywhere_ = 0;
    int64_t pMinX_ = 0, pMaxX_ = -1, pMinY_ = 0, pMaxY_ = -1;

    std::vector<uint32_t> scratch_;
};

/// resolveThings by the plain scan: every thing against every player, then every block. The
/// reference the faster path must match callback for callback.
void resolveThingsReference(World& world);
/// resolveThings through the grid in World::broadphase, whatever the number of blocks.
/// resolveThings itself uses it from Broadphase::minBlocks blocks on.
void resolveThingsIndexed(World& world);

}  // namespace brallo::game
