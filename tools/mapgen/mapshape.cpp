// Builds a MapShape through applyMapText, the same reader the client uses.
#include "mapshape.h"

#include <algorithm>

#include "brallo/game/spots.h"
#include "brallo/main/maptext.h"

namespace brallo::mapgen {

namespace {

void grow(MapShape& shape, const game::Rect& r, bool& first) {
    const int64_t right = int64_t{r.x} + r.w;
    const int64_t bottom = int64_t{r.y} + r.h;
    const auto clamp32 = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    if (first) {
        shape.minX = r.x;
        shape.minY = r.y;
        shape.maxX = clamp32(right);
        shape.maxY = clamp32(bottom);
        first = false;
        return;
    }
    shape.minX = std::min(shape.minX, r.x);
    shape.minY = std::min(shape.minY, r.y);
    shape.maxX = std::max(shape.maxX, clamp32(right));
    shape.maxY = std::max(shape.maxY, clamp32(bottom));
}

}  // namespace

MapShape loadMapShape(std::string_view bytes) {
    game::World world;
    MapShape shape;
    applyMapText(bytes, world, shape.bg);
    bool first = true;
    for (const game::Block& b : world.blocks) {
        shape.blocks.push_back(b);
        grow(shape, game::bounds(b), first);
    }
    for (const game::ThingContainer& tc : world.things) {
        if (!tc.used || tc.t.kind != game::ThingKind::weaponSpot) continue;
        const game::Rect r = tc.t.rect();
        const bool isGold = tc.t.color == game::goldSpotColor;
        (isGold ? shape.gold : shape.silver).push_back(r);
        grow(shape, r, first);
    }
    return shape;
}

std::string_view mapNameOf(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    if (path.size() > 4 && path.substr(path.size() - 4) == ".txt") path.remove_suffix(4);
    return path;
}

}  // namespace brallo::mapgen
