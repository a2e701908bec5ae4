// The lookup that lets the things step test a thing only against the blocks and players near it:
// a uniform grid over the blocks (rebuilt whenever the blocks differ from those it was built
// from), on the same grid a mask of the players in each cell, and a bitmap of the cells' parts
// that anything covers, which settles most small things with one bit. Reads the world's blocks
// and players; used by resolveThings (things.cpp) through World::broadphase.
#pragma once

#include <algorithm>
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
inline Span spanOf(const Rect& r) {
    return {r.x, wrapSub(wrapAdd(r.x, r.w), 1), r.y, wrapSub(wrapAdd(r.y, r.h), 1)};
}
/// collide() of the rectangles the spans come from, term by term.
inline bool overlap(const Span& a, const Span& b) {
    return a.x1 >= b.x0 && b.x1 >= a.x0 && a.y1 >= b.y0 && b.y1 >= a.y0;
}

class Broadphase {
  public:
    /// The grid is built only for at least this many blocks; below, a plain scan is as fast.
    static constexpr size_t minBlocks = 16;
    /// A query over more cells than this scans every block instead.
    static constexpr int64_t maxQueryCells = 64;
    /// Players beyond this count are scanned one by one (the masks have 64 bits).
    static constexpr size_t maxIndexedPlayers = 64;
    /// Blocks and players are filed in the cells of their box widened by `slack` - 1 pixels to
    /// the left and upwards. A query then starts at its top-left corner and needs to reach only
    /// `slack` - 1 pixels short of its far edges: anything up to `slack` pixels across (every
    /// projectile and spot) looks in one cell.
    static constexpr int32_t slack = 16;

    /// Makes the block grid match `blocks`; a no-op (one comparison pass) when it does already.
    void syncBlocks(const std::vector<Block>& blocks);
    /// Records where the players are now; needed after anything moved a player.
    void syncPlayers(const std::vector<Player>& players);
    bool playersIndexed() const { return playersIndexed_; }

    /// What the things step reads for each small thing, copied out of the grid so that its loop
    /// keeps it in registers. Valid until the next syncBlocks or syncPlayers.
    struct Quick {
        const uint64_t* parts;  ///< nearParts_
        int64_t originX, originY;
        uint64_t lastX, lastY;  ///< the grid's extent in pixels, less one
        uint64_t partsPerRow;
        int partShift;

        /// For a thing whose ordered span starts at (x0, y0) and is at most `slack` pixels wide
        /// and high: false only when no block of the grid and no player can touch it. One bit
        /// tells, that of the part under the corner; found without branches, as whether a thing
        /// is near is a coin toss.
        bool mayTouch(int32_t x0, int32_t y0) const {
            const uint64_t bit = (pixelOf(y0, originY, lastY) >> partShift) * partsPerRow +
                                 (pixelOf(x0, originX, lastX) >> partShift);
            return ((parts[bit >> 6] >> (bit & 63)) & 1) != 0;
        }
    };
    Quick quick() const {
        return {nearParts_.data(), originX_,  originY_, lastX_, lastY_,
                wordsPerRow_ * 64, shift_ - 3};
    }
    /// Whether Quick answers for the world as synced: the players are indexed, and no block or
    /// player is too large for the cells.
    bool quickUsable() const {
        return playersIndexed_ && playersEverywhere_ == 0 && everywhere_.empty();
    }

    /// The cells to look in for an ordered span, clamped to the grid: anything outside the grid
    /// falls into the border cells. Every block or player that overlaps the span is filed in one
    /// of them (see `slack`).
    CellRange cells(const Span& s) const {
        return {cellX(s.x0), cellX(shortOf(s.x0, s.x1)), cellY(s.y0), cellY(shortOf(s.y0, s.y1))};
    }
    /// False when no block of the grid can touch the span (blocks in `everywhere` aside).
    bool nearBlocks(const Span& s) const {
        return s.x1 >= minX_ && s.x0 <= maxX_ && s.y1 >= minY_ && s.y0 <= maxY_;
    }
    /// Block indices registered in one cell, increasing.
    std::span<const uint32_t> blocksIn(int32_t cx, int32_t cy) const {
        const size_t cell = static_cast<size_t>(cy) * static_cast<size_t>(columns_) + cx;
        return {cellBlocks_.data() + cellStart_[cell], cellBlocks_.data() + cellStart_[cell + 1]};
    }
    /// Blocks too large for the cells: candidates for every thing, increasing.
    std::span<const uint32_t> everywhere() const { return everywhere_; }
    /// The span of block i as of the last syncBlocks.
    const Span& blockSpan(uint32_t i) const { return blockSpans_[i]; }
    /// Players too large for the cells (bit i for player i): candidates for every thing.
    uint64_t playersEverywhere() const { return playersEverywhere_; }
    /// False when no player in the cells can touch the span.
    bool nearPlayers(const Span& s) const {
        return s.x1 >= pMinX_ && s.x0 <= pMaxX_ && s.y1 >= pMinY_ && s.y0 <= pMaxY_;
    }
    /// Bit i set: player i is in one of these block cells or next to them. The players have a
    /// grid of their own, coarser than the blocks', so that its masks stay in the nearest cache.
    uint64_t playersIn(const CellRange& blockCells) const {
        const CellRange r = coarse(blockCells);
        if (r.x0 == r.x1 && r.y0 == r.y1) {
            return playerMask_[static_cast<size_t>(r.y0) * pColumns_ + r.x0];
        }
        if (r.count() > maxQueryCells) return ~uint64_t{0};
        uint64_t m = 0;
        for (int32_t cy = r.y0; cy <= r.y1; ++cy) {
            const uint64_t* row = playerMask_.data() + static_cast<size_t>(cy) * pColumns_;
            for (int32_t cx = r.x0; cx <= r.x1; ++cx) m |= row[cx];
        }
        return m;
    }
    /// The span of player i as of the last syncPlayers.
    const Span& playerSpan(size_t i) const { return playerSpans_[i]; }

    /// Puts into `out` the blocks from index `from` on that touch the ordered span, increasing.
    /// False (and `out` unusable) when the span covers too many cells: scan the blocks instead.
    bool blocksTouching(const Span& s, size_t from, std::vector<uint32_t>& out) const;

    /// A buffer for merging candidates; kept to avoid allocating in every step.
    std::vector<uint32_t>& scratch() { return scratch_; }

  private:
    static int32_t cellOf(int32_t v, int64_t origin, int shift, int32_t count) {
        const int64_t d = int64_t{v} - origin;
        if (d < 0) return 0;
        const int64_t c = d >> shift;
        return c >= count ? count - 1 : static_cast<int32_t>(c);
    }
    // The offset of v from the origin clamped to [0, last]: shifted, the same cell as cellOf.
    // Without branches (a far thing lies on either side as often as not): a negative offset
    // is masked to zero by its own sign.
    static uint64_t pixelOf(int32_t v, int64_t origin, uint64_t last) {
        const int64_t d = int64_t{v} - origin;
        const uint64_t above = static_cast<uint64_t>(d) & ~static_cast<uint64_t>(d >> 63);
        return std::min(above, last);
    }
    // `slack` - 1 short of the far edge, but not before the near one. Exact in unsigned: the
    // span is ordered, and the subtraction happens only when hi is that far above lo.
    static int32_t shortOf(int32_t lo, int32_t hi) {
        const uint32_t width = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo);
        return width < static_cast<uint32_t>(slack) ? lo : hi - (slack - 1);
    }
    /// The cells an object is filed in: those of its extent [lo, hi] on each axis, widened by
    /// `slack` - 1 downwards (never below the int range).
    CellRange filedCells(int64_t xLo, int64_t xHi, int64_t yLo, int64_t yHi) const;
    /// Parts [x0, x1] x [y0, y1], both ends inclusive.
    struct PartRange {
        uint64_t x0, x1, y0, y1;
    };
    /// The parts an object is filed in, like filedCells.
    PartRange partsOf(int64_t xLo, int64_t xHi, int64_t yLo, int64_t yHi) const;
    /// Sets their bits in `parts` (blockParts_ or nearParts_).
    void markParts(const PartRange& r, std::vector<uint64_t>& parts) const;
    /// Puts back the words of nearParts_ that the players changed.
    void unmarkPlayers();
    int32_t cellX(int32_t x) const { return cellOf(x, originX_, shift_, columns_); }
    int32_t cellY(int32_t y) const { return cellOf(y, originY_, shift_, rows_); }
    /// A player cell is four block cells each way: the block cell shifted right by two (the
    /// clamping agrees, since the player grid's last cell holds the block grid's last cell).
    static CellRange coarse(const CellRange& r) {
        return {r.x0 >> 2, r.x1 >> 2, r.y0 >> 2, r.y1 >> 2};
    }

    std::vector<Block> source_;  ///< the blocks the grid was built from
    bool built_ = false;
    int64_t originX_ = 0, originY_ = 0;  ///< one cell before the blocks: a margin on every side
    int shift_ = 5;
    int32_t columns_ = 1, rows_ = 1;
    int64_t minX_ = 0, maxX_ = -1, minY_ = 0, maxY_ = -1;  ///< extent of the gridded blocks
    std::vector<uint32_t> cellStart_;                      ///< columns * rows + 1 offsets
    std::vector<uint32_t> cellBlocks_;
    std::vector<uint32_t> everywhere_;
    std::vector<Span> blockSpans_;
    /// A bit per part of a cell (an eighth of its side each way), set where a filed block
    /// covers the part; each row of parts starts a word.
    std::vector<uint64_t> blockParts_;
    uint64_t wordsPerRow_ = 1;
    /// blockParts_ with the parts of the players added: what Quick reads.
    std::vector<uint64_t> nearParts_;
    std::vector<PartRange> playerParts_;  ///< the players' parts in nearParts_
    uint64_t lastX_ = 0, lastY_ = 0;      ///< (columns_, rows_ << shift_) - 1

    bool playersIndexed_ = false;
    int32_t pColumns_ = 1, pRows_ = 1;
    std::vector<uint64_t> playerMask_;  ///< per player cell, zero outside `touched_`
    std::vector<uint32_t> touched_;
    uint64_t playersEverywhere_ = 0;
    int64_t pMinX_ = 0, pMaxX_ = -1, pMinY_ = 0, pMaxY_ = -1;
    std::vector<Span> playerSpans_;

    std::vector<uint32_t> scratch_;
};

/// resolveThings by the plain scan: every thing against every player, then every block. The
/// reference the faster path must match callback for callback.
void resolveThingsReference(World& world);
/// resolvePlayers through the grid in World::broadphase, whatever the number of blocks.
/// resolvePlayers itself uses it from Broadphase::minBlocks blocks on.
void resolvePlayersIndexed(World& world);
/// resolveThings through the grid in World::broadphase, whatever the number of blocks.
/// resolveThings itself uses it from Broadphase::minBlocks blocks on.
void resolveThingsIndexed(World& world);

}  // namespace brallo::game
