// The block grid and the player masks of the things step, and the world's cache that holds them.
#include "brallo/game/broadphase.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

namespace brallo::game {

BroadphaseCache::BroadphaseCache() = default;
BroadphaseCache::~BroadphaseCache() = default;
BroadphaseCache::BroadphaseCache(const BroadphaseCache&) {}
BroadphaseCache& BroadphaseCache::operator=(const BroadphaseCache& other) {
    if (this != &other) index_.reset();
    return *this;
}
BroadphaseCache::BroadphaseCache(BroadphaseCache&&) noexcept = default;
BroadphaseCache& BroadphaseCache::operator=(BroadphaseCache&&) noexcept = default;

Broadphase& BroadphaseCache::get() {
    if (!index_) index_ = std::make_unique<Broadphase>();
    return *index_;
}

namespace {

// An object whose extent is at least this is not put into cells: it would fill the grid.
constexpr int64_t hugeExtent = int64_t{1} << 24;
// A block over more cells than this joins the `everywhere` list instead.
constexpr int64_t maxBlockCells = 256;
constexpr int32_t maxColumns = 4096;

// The values a rectangle's collisions can depend on along one axis: its start and its inclusive
// end, as collide() computes it (wrapping). A wrapped end lies below the start; any rectangle
// that collides with it then covers both, so [min, max] is where its partners must reach.
struct Extent {
    int64_t lo, hi;
};
Extent extent(int32_t start, int32_t size) {
    const int32_t end = wrapSub(wrapAdd(start, size), 1);
    return {std::min(start, end), std::max(start, end)};
}

bool sameBlock(const Block& a, const Block& b) {
    return a.pos == b.pos && a.size == b.size && a.platform == b.platform;
}

// Called every tick. The grid keeps a copy of the table, which copies the bytes between the
// fields too, so the bytes are almost always equal and comparing them is the fast answer;
// unequal bytes can still be equal blocks.
bool sameBlocks(const std::vector<Block>& a, const std::vector<Block>& b) {
    static_assert(std::is_trivially_copyable_v<Block>);
    if (a.size() != b.size()) return false;
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Block)) == 0) return true;
    return std::equal(a.begin(), a.end(), b.begin(), sameBlock);
}

}  // namespace

CellRange Broadphase::filedCells(int64_t xLo, int64_t xHi, int64_t yLo, int64_t yHi) const {
    auto widened = [](int64_t lo) {
        return static_cast<int32_t>(std::max<int64_t>(lo - (slack - 1), INT32_MIN));
    };
    return {cellX(widened(xLo)), cellX(static_cast<int32_t>(xHi)), cellY(widened(yLo)),
            cellY(static_cast<int32_t>(yHi))};
}

Broadphase::PartRange Broadphase::partsOf(int64_t xLo, int64_t xHi, int64_t yLo,
                                          int64_t yHi) const {
    // The same widening and clamping as filedCells, at the resolution of the parts.
    const int partShift = shift_ - 3;
    auto range = [partShift](int64_t lo, int64_t hi, int64_t origin, uint64_t last) {
        const int32_t from = static_cast<int32_t>(std::max<int64_t>(lo - (slack - 1), INT32_MIN));
        return std::pair{pixelOf(from, origin, last) >> partShift,
                         pixelOf(static_cast<int32_t>(hi), origin, last) >> partShift};
    };
    const auto [x0, x1] = range(xLo, xHi, originX_, lastX_);
    const auto [y0, y1] = range(yLo, yHi, originY_, lastY_);
    return {x0, x1, y0, y1};
}

void Broadphase::markParts(const PartRange& r, std::vector<uint64_t>& parts) const {
    // Every row of parts starts a word, so the words and masks are the same in every row.
    const uint64_t w0 = r.x0 >> 6, w1 = r.x1 >> 6;
    // Bits from x0 on in the first word, up to x1 in the last; 2 << 63 wraps to 0.
    const uint64_t first = ~((uint64_t{1} << (r.x0 & 63)) - 1);
    const uint64_t last = (uint64_t{2} << (r.x1 & 63)) - 1;
    uint64_t* row = parts.data() + r.y0 * wordsPerRow_;
    if (w0 == w1) {  // a player, or a block of a few cells
        for (uint64_t y = r.y0; y <= r.y1; ++y, row += wordsPerRow_) row[w0] |= first & last;
        return;
    }
    for (uint64_t y = r.y0; y <= r.y1; ++y, row += wordsPerRow_) {
        row[w0] |= first;
        for (uint64_t w = w0 + 1; w < w1; ++w) row[w] = ~uint64_t{0};
        row[w1] |= last;
    }
}

void Broadphase::unmarkPlayers() {
    for (const PartRange& r : playerParts_) {
        const uint64_t w0 = r.x0 >> 6, w1 = r.x1 >> 6;
        for (uint64_t i = r.y0 * wordsPerRow_, end = r.y1 * wordsPerRow_; i <= end;
             i += wordsPerRow_) {
            for (uint64_t w = i + w0; w <= i + w1; ++w) nearParts_[w] = blockParts_[w];
        }
    }
    playerParts_.clear();
}

void Broadphase::syncBlocks(const std::vector<Block>& blocks) {
    if (built_ && sameBlocks(blocks, source_)) return;
    source_ = blocks;
    built_ = true;
    blockSpans_.clear();
    blockSpans_.reserve(blocks.size());
    for (const Block& b : blocks) blockSpans_.push_back(spanOf(bounds(b)));
    playersIndexed_ = false;
    everywhere_.clear();

    std::vector<Extent> xs, ys;
    xs.reserve(blocks.size());
    ys.reserve(blocks.size());
    minX_ = minY_ = INT64_MAX;
    maxX_ = maxY_ = INT64_MIN;
    for (const Block& b : blocks) {
        xs.push_back(extent(b.pos.x, b.size.x));
        ys.push_back(extent(b.pos.y, b.size.y));
        const Extent& x = xs.back();
        const Extent& y = ys.back();
        if (x.hi - x.lo >= hugeExtent || y.hi - y.lo >= hugeExtent) continue;
        minX_ = std::min(minX_, x.lo);
        maxX_ = std::max(maxX_, x.hi);
        minY_ = std::min(minY_, y.lo);
        maxY_ = std::max(maxY_, y.hi);
    }
    if (minX_ > maxX_) {  // nothing to grid: an empty extent that no span reaches
        minX_ = minY_ = 0;
        maxX_ = maxY_ = -1;
    }

    // Cells of 32 pixels or more, as many as the blocks can use without the table outgrowing
    // them; a map spread far apart gets larger cells rather than a huge table.
    const int64_t cellLimit =
        std::clamp<int64_t>(16 * static_cast<int64_t>(blocks.size()), 4096, int64_t{1} << 18);
    // An empty cell of margin on every side: whatever lies far outside falls into a border
    // cell's outermost parts, which no widened block reaches (cells are wider than the slack).
    shift_ = 5;
    auto dims = [&] {
        columns_ = static_cast<int32_t>(std::max<int64_t>(0, maxX_ - minX_) >> shift_) + 3;
        rows_ = static_cast<int32_t>(std::max<int64_t>(0, maxY_ - minY_) >> shift_) + 3;
    };
    for (dims();
         columns_ > maxColumns || rows_ > maxColumns || int64_t{columns_} * rows_ > cellLimit;
         dims()) {
        ++shift_;
    }

    originX_ = minX_ - (int64_t{1} << shift_);
    originY_ = minY_ - (int64_t{1} << shift_);
    lastX_ = (static_cast<uint64_t>(columns_) << shift_) - 1;
    lastY_ = (static_cast<uint64_t>(rows_) << shift_) - 1;
    const size_t cellCount = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);
    cellStart_.assign(cellCount + 1, 0);
    std::vector<CellRange> ranges(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Extent& x = xs[i];
        const Extent& y = ys[i];
        CellRange& r = ranges[i];
        if (x.hi - x.lo >= hugeExtent || y.hi - y.lo >= hugeExtent) {
            everywhere_.push_back(static_cast<uint32_t>(i));
            continue;
        }
        r = filedCells(x.lo, x.hi, y.lo, y.hi);
        if (r.count() > maxBlockCells) {
            everywhere_.push_back(static_cast<uint32_t>(i));
            r = CellRange{};
            continue;
        }
        for (int32_t cy = r.y0; cy <= r.y1; ++cy) {
            for (int32_t cx = r.x0; cx <= r.x1; ++cx) {
                ++cellStart_[static_cast<size_t>(cy) * columns_ + cx + 1];
            }
        }
    }
    wordsPerRow_ = (static_cast<uint64_t>(columns_) + 7) / 8;  // 8 parts a cell
    blockParts_.assign(wordsPerRow_ * static_cast<uint64_t>(rows_) * 8, 0);
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (ranges[i].count() <= 0) continue;  // in `everywhere`
        markParts(partsOf(xs[i].lo, xs[i].hi, ys[i].lo, ys[i].hi), blockParts_);
    }
    nearParts_ = blockParts_;
    playerParts_.clear();
    for (size_t c = 0; c < cellCount; ++c) cellStart_[c + 1] += cellStart_[c];
    cellBlocks_.assign(cellStart_[cellCount], 0);
    std::vector<uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    // In index order, so every cell lists its blocks in increasing index order.
    for (size_t i = 0; i < blocks.size(); ++i) {
        const CellRange& r = ranges[i];
        for (int32_t cy = r.y0; cy <= r.y1; ++cy) {
            for (int32_t cx = r.x0; cx <= r.x1; ++cx) {
                cellBlocks_[fill[static_cast<size_t>(cy) * columns_ + cx]++] =
                    static_cast<uint32_t>(i);
            }
        }
    }
    // Player cells: four block cells each way.
    pColumns_ = ((columns_ - 1) >> 2) + 1;
    pRows_ = ((rows_ - 1) >> 2) + 1;
    const size_t playerCellCount = static_cast<size_t>(pColumns_) * static_cast<size_t>(pRows_);
    playerMask_.assign(playerCellCount, 0);
    touched_.clear();
    touched_.reserve(playerCellCount);
}

void Broadphase::syncPlayers(const std::vector<Player>& players) {
    for (uint32_t cell : touched_) playerMask_[cell] = 0;
    touched_.clear();
    unmarkPlayers();
    playersEverywhere_ = 0;
    playersIndexed_ = built_ && players.size() <= maxIndexedPlayers;
    if (!playersIndexed_) return;
    playerSpans_.clear();
    pMinX_ = pMinY_ = INT64_MAX;
    pMaxX_ = pMaxY_ = INT64_MIN;
    for (size_t i = 0; i < players.size(); ++i) {
        const uint64_t bit = uint64_t{1} << i;
        const Rect b = bounds(players[i]);
        playerSpans_.push_back(spanOf(b));
        const Extent x = extent(b.x, b.w);
        const Extent y = extent(b.y, b.h);
        const CellRange r = coarse(filedCells(x.lo, x.hi, y.lo, y.hi));
        if (r.count() > maxQueryCells) {
            playersEverywhere_ |= bit;
            continue;
        }
        pMinX_ = std::min(pMinX_, x.lo);
        pMaxX_ = std::max(pMaxX_, x.hi);
        pMinY_ = std::min(pMinY_, y.lo);
        pMaxY_ = std::max(pMaxY_, y.hi);
        playerParts_.push_back(partsOf(x.lo, x.hi, y.lo, y.hi));
        markParts(playerParts_.back(), nearParts_);
        for (int32_t cy = r.y0; cy <= r.y1; ++cy) {
            for (int32_t cx = r.x0; cx <= r.x1; ++cx) {
                const uint32_t cell = static_cast<uint32_t>(cy) * pColumns_ + cx;
                if (playerMask_[cell] == 0) touched_.push_back(cell);
                playerMask_[cell] |= bit;
            }
        }
    }
}

bool Broadphase::blocksTouching(const Span& s, size_t from, std::vector<uint32_t>& out) const {
    out.clear();
    auto keep = [&](std::span<const uint32_t> blocks) {
        for (uint32_t i : blocks) {
            if (i >= from && overlap(blockSpans_[i], s)) out.push_back(i);
        }
    };
    keep(everywhere_);
    if (nearBlocks(s)) {
        const CellRange r = cells(s);
        if (r.count() > maxQueryCells) return false;
        for (int32_t cy = r.y0; cy <= r.y1; ++cy) {
            for (int32_t cx = r.x0; cx <= r.x1; ++cx) keep(blocksIn(cx, cy));
        }
    }
    if (out.size() > 1) {
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }
    return true;
}

}  // namespace brallo::game
