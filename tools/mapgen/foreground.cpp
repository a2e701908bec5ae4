// Per-pixel texturing of blocks, platforms and spots. Textures come from hash3 of the pixel's
// place, so the same map always gives the same picture.
#include "foreground.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "brallo/game/spots.h"
#include "palette.h"

namespace brallo::mapgen {

namespace {

constexpr Pixel black = rgb(0, 0, 0);
constexpr Pixel white = rgb(255, 255, 255);

// A signed shade from -range to +range for a texture cell.
int32_t jitter(int32_t x, int32_t y, uint32_t seed, int32_t range) {
    return static_cast<int32_t>(hash3(x, y, seed) % static_cast<uint32_t>(2 * range + 1)) - range;
}

Pixel shade(Pixel p, int32_t amount) {
    return amount >= 0 ? mix(p, white, amount) : mix(p, black, -amount);
}

// The pixels of `r` that lie inside the canvas, visited with their place inside `r`.
template <typename Paint>
void forEachPixel(Canvas& canvas, const game::Rect& r, Paint&& paint) {
    const int64_t x0 = std::max<int64_t>(r.x, 0);
    const int64_t y0 = std::max<int64_t>(r.y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{r.x} + r.w, canvas.width());
    const int64_t y1 = std::min<int64_t>(int64_t{r.y} + r.h, canvas.height());
    for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
            const auto px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
            paint(px, py, static_cast<int32_t>(x - r.x), static_cast<int32_t>(y - r.y));
        }
    }
}

void drawSolid(Canvas& canvas, const game::Rect& r, const Palette& pal) {
    const int32_t crust = std::clamp(r.h / 3, 1, 6);
    forEachPixel(canvas, r, [&](int32_t x, int32_t y, int32_t lx, int32_t ly) {
        Pixel p;
        if (ly < crust) {
            p = ly == 0 ? shade(pal.crust, 60) : shade(pal.crust, jitter(x, y, 7, 18));
        } else {
            // Bricks of 24 by 12, every other row shifted by half a brick.
            const int32_t by = ly - crust;
            const int32_t row = by / 12;
            const int32_t bx = lx + (row % 2 == 1 ? 12 : 0);
            if (by % 12 == 11 || bx % 24 == 23) {
                p = shade(pal.stone, -70);
            } else {
                p = shade(pal.stone, jitter(bx / 24, row, 11, 14) + jitter(x, y, 13, 6));
                if (by % 12 == 0) p = shade(p, 24);  // a lit upper edge on each brick
            }
            // The crust hangs a little over the first row of bricks.
            if (ly < crust + 3 && hash3(x, 0, 17) % 3 == 0) p = shade(pal.crust, -30);
        }
        if (lx == 0 || lx == r.w - 1 || ly == r.h - 1) p = shade(p, -90);
        canvas.set(x, y, p);
    });
}

void drawPlatform(Canvas& canvas, const game::Rect& r, const Palette& pal) {
    forEachPixel(canvas, r, [&](int32_t x, int32_t y, int32_t lx, int32_t ly) {
        Pixel p = shade(pal.wood, jitter(x / 6, y, 19, 10));
        if (ly == 0) p = shade(pal.wood, 70);
        if (ly == r.h - 1 || lx == 0 || lx == r.w - 1 || lx % 32 == 31) p = shade(pal.wood, -110);
        if (r.h >= 6 && lx % 32 == 3 && ly == r.h / 2) p = rgb(60, 60, 66);  // a nail
        canvas.set(x, y, p);
    });
}

void drawSpot(Canvas& canvas, const game::Rect& r, game::Color c) {
    const Pixel base = rgb(c.r, c.g, c.b);
    // A halo around the marker, fading outward; the game draws the spot itself over the middle.
    for (int32_t ring = 3; ring >= 1; --ring) {
        Pixel glow = shade(base, 80);
        glow.a = static_cast<uint8_t>(150 - ring * 40);
        for (int32_t y = r.y - ring; y < r.y + r.h + ring; ++y) {
            for (int32_t x = r.x - ring; x < r.x + r.w + ring; ++x) {
                const bool onRing = x == r.x - ring || x == r.x + r.w + ring - 1 ||
                                    y == r.y - ring || y == r.y + r.h + ring - 1;
                if (onRing) canvas.blend(x, y, glow);
            }
        }
    }
    forEachPixel(canvas, r, [&](int32_t x, int32_t y, int32_t lx, int32_t ly) {
        const bool edge = lx == 0 || ly == 0 || lx == r.w - 1 || ly == r.h - 1;
        canvas.set(x, y, edge ? shade(base, 90) : base);
    });
}

}  // namespace

Canvas renderForeground(const MapShape& shape) {
    if (shape.maxX > maxPictureSide || shape.maxY > maxPictureSide) {
        throw std::runtime_error("The map reaches (" + std::to_string(shape.maxX) + ", " +
                                 std::to_string(shape.maxY) + "); pictures are limited to " +
                                 std::to_string(maxPictureSide) + " pixels a side");
    }
    Canvas canvas(shape.maxX, shape.maxY);
    const Palette pal = paletteFor(shape.bg);
    for (const game::Block& b : shape.blocks) {
        if (!b.platform) drawSolid(canvas, game::bounds(b), pal);
    }
    for (const game::Block& b : shape.blocks) {
        if (b.platform) drawPlatform(canvas, game::bounds(b), pal);
    }
    for (const game::Rect& r : shape.silver) drawSpot(canvas, r, game::silverSpotColor);
    for (const game::Rect& r : shape.gold) drawSpot(canvas, r, game::goldSpotColor);
    // The game's loader shows a picture without any opacity as wholly opaque; one barely
    // visible pixel keeps an empty map's picture see-through.
    if (shape.blocks.empty() && shape.silver.empty() && shape.gold.empty()) {
        canvas.set(0, 0, Pixel{0, 0, 0, 1});
    }
    return canvas;
}

}  // namespace brallo::mapgen
