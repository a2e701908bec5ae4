// Procedural scenery from smooth 1-D value noise and scattered shapes, all integer arithmetic.
#include "parallax.h"

#include <algorithm>
#include <vector>

#include "foreground.h"
#include "palette.h"

namespace brallo::mapgen {

namespace {

constexpr int32_t windowWidth = 800;
constexpr int32_t windowHeight = 600;
constexpr int32_t edgeFade = 64;  // columns over which scenery fades in from the left edge

int32_t cameraMaxX(const MapShape& s) {
    return std::max(0, s.maxX - 260);
}
int32_t cameraMaxY(const MapShape& s) {
    return std::max(0, s.maxY - 268);
}

// Smooth noise from 0 to amplitude - 1, with lattice points every `lattice` pixels.
int32_t noise(int32_t x, int32_t lattice, uint32_t seed, int32_t amplitude) {
    const int32_t i = x / lattice;
    const int32_t f = x % lattice;
    const auto at = [&](int32_t k) {
        return static_cast<int32_t>(hash3(k, 0, seed) % static_cast<uint32_t>(amplitude));
    };
    const int64_t t = int64_t{f} * 256 / lattice;
    const int64_t s = t * t * (3 * 256 - 2 * t) / (256 * 256);  // smoothstep, 0 to 256
    return static_cast<int32_t>(at(i) + (at(i + 1) - at(i)) * s / 256);
}

// 0 at the left edge of a layer up to 256 after edgeFade columns.
int32_t fadeIn(int32_t x) {
    return std::min(x, edgeFade) * 256 / edgeFade;
}

int64_t square(int64_t v) {
    return v * v;
}

void disc(Canvas& c, int32_t cx, int32_t cy, int32_t r, Pixel p) {
    for (int32_t y = cy - r; y <= cy + r; ++y) {
        for (int32_t x = cx - r; x <= cx + r; ++x) {
            if (square(x - cx) + square(y - cy) <= square(r)) c.blend(x, y, p);
        }
    }
}

// A cloud: a row of overlapping discs, flat underneath, painted once per pixel so that a
// see-through cloud has no seams where its discs overlap.
void cloud(Canvas& c, int32_t cx, int32_t cy, uint32_t seed, Pixel p) {
    struct Puff {
        int32_t x, r;
    };
    const int32_t count = 3 + static_cast<int32_t>(hash3(cx, cy, seed) % 3);
    std::vector<Puff> puffs;
    int32_t highest = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t r = 14 + static_cast<int32_t>(hash3(i, cy, seed + 1) % 16);
        puffs.push_back(Puff{cx + (i - count / 2) * 26, r});
        highest = std::max(highest, r);
    }
    for (int32_t y = cy - highest; y <= cy; ++y) {
        for (int32_t x = puffs.front().x - highest; x <= puffs.back().x + highest; ++x) {
            const bool inside = std::any_of(puffs.begin(), puffs.end(), [&](const Puff& f) {
                return square(x - f.x) + square(y - cy) <= square(f.r);
            });
            // The lower part of a cloud lies in its own shadow.
            if (inside) c.blend(x, y, mix(p, rgb(0, 0, 0), y > cy - 6 ? 24 : 0));
        }
    }
}

void sunOrMoon(Canvas& c, const Palette& pal) {
    const int32_t cx = 560, cy = 110;
    if (pal.night) {
        Pixel halo = rgb(200, 210, 240);
        for (int32_t r = 52; r > 32; r -= 2) {
            halo.a = 6;
            disc(c, cx, cy, r, halo);
        }
        disc(c, cx, cy, 32, rgb(236, 236, 218));
        disc(c, cx + 13, cy - 8, 27, pal.sky);  // the shadowed part: a crescent remains
    } else {
        Pixel glow = rgb(255, 246, 200);
        for (int32_t r = 76; r > 34; r -= 2) {
            glow.a = 10;
            disc(c, cx, cy, r, glow);
        }
        disc(c, cx, cy, 34, rgb(255, 244, 196));
    }
}

void stars(Canvas& c, int32_t bottom) {
    const int32_t count = c.width() * bottom / 650;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = static_cast<int32_t>(hash3(i, 1, 23) % static_cast<uint32_t>(c.width()));
        const int32_t y = static_cast<int32_t>(hash3(i, 2, 23) % static_cast<uint32_t>(bottom));
        const uint32_t kind = hash3(i, 3, 23) % 16;
        Pixel p = rgb(255, 255, 235);
        p.a = static_cast<uint8_t>(90 + hash3(i, 4, 23) % 166);
        c.blend(x, y, p);
        if (kind == 0) {  // a bright one with four points
            p.a = 120;
            c.blend(x - 1, y, p);
            c.blend(x + 1, y, p);
            c.blend(x, y - 1, p);
            c.blend(x, y + 1, p);
        }
    }
}

}  // namespace

LayerSize layerSize(const MapShape& shape, int32_t divisor) {
    const auto fit = [&](int32_t window, int32_t range) {
        return std::min(maxPictureSide, window + (range + divisor - 1) / divisor + 8);
    };
    return LayerSize{fit(windowWidth, cameraMaxX(shape)), fit(windowHeight, cameraMaxY(shape))};
}

Canvas renderFarLayer(const MapShape& shape) {
    const LayerSize size = layerSize(shape, 5);
    const Palette pal = paletteFor(shape.bg);
    Canvas c(size.width, size.height);
    c.fill(pal.sky);
    const int32_t baseline = 330 + cameraMaxY(shape) / 5;

    // A glow toward the horizon; none at the left edge, where the plain background continues.
    const Pixel horizon =
        pal.night ? mix(pal.sky, rgb(90, 80, 140), 90) : mix(pal.sky, pal.cloud, 110);
    for (int32_t y = std::max(0, baseline - 240); y < c.height(); ++y) {
        const int32_t t = std::min(256, (y - (baseline - 240)) * 256 / 240);
        for (int32_t x = 0; x < c.width(); ++x) {
            c.set(x, y, mix(pal.sky, horizon, t * fadeIn(x) / 256));
        }
    }
    if (pal.night) stars(c, baseline);
    sunOrMoon(c, pal);
    const int32_t clouds = c.width() / 260 + 2;
    for (int32_t i = 0; i < clouds; ++i) {
        const int32_t x = 40 + i * c.width() / clouds + static_cast<int32_t>(hash3(i, 5, 29) % 90);
        const int32_t y =
            70 + static_cast<int32_t>(hash3(i, 6, 29) %
                                      static_cast<uint32_t>(std::max(40, baseline - 250)));
        Pixel p = pal.cloud;
        p.a = pal.night ? 90 : 200;
        cloud(c, x, y, 31, p);
    }
    for (int32_t x = 0; x < c.width(); ++x) {
        const int32_t height = noise(x, 110, 37, 150) + noise(x, 37, 41, 30);
        const int32_t top = baseline - height;
        for (int32_t y = std::max(0, top); y < c.height(); ++y) {
            // Lit from above: lighter near the ridge.
            const Pixel p = mix(pal.farHills, pal.sky, std::max(0, 60 - (y - top)));
            c.set(x, y, mix(c.at(x, y), p, fadeIn(x)));
        }
    }
    return c;
}

Canvas renderNearLayer(const MapShape& shape) {
    const LayerSize size = layerSize(shape, 2);
    const Palette pal = paletteFor(shape.bg);
    Canvas c(size.width, size.height);
    const int32_t baseline = 300 + cameraMaxY(shape) / 2;

    if (!pal.night) {
        const int32_t clouds = c.width() / 420 + 1;
        for (int32_t i = 0; i < clouds; ++i) {
            const int32_t x =
                120 + i * c.width() / clouds + static_cast<int32_t>(hash3(i, 7, 43) % 150);
            Pixel p = mix(pal.cloud, rgb(255, 255, 255), 60);
            p.a = 150;
            cloud(c, x, 60 + static_cast<int32_t>(hash3(i, 8, 43) % 60), 47, p);
        }
    }
    for (int32_t x = 0; x < c.width(); ++x) {
        const int32_t top = baseline - noise(x, 180, 53, 120) - noise(x, 50, 59, 24);
        for (int32_t y = std::max(0, top); y < c.height(); ++y) {
            Pixel p = mix(pal.nearHills, rgb(0, 0, 0), std::min(110, (y - top) / 3));
            if (y - top < 2) p = mix(pal.nearHills, rgb(255, 255, 255), 50);
            p.a = static_cast<uint8_t>(std::min(255, fadeIn(x)));
            c.set(x, y, p);
        }
        // A pine now and then, standing on the hill line.
        if (x % 23 == 0 && hash3(x, 9, 61) % 3 == 0) {
            const int32_t h = 16 + static_cast<int32_t>(hash3(x, 10, 61) % 18);
            Pixel tree = mix(pal.nearHills, rgb(0, 0, 0), 90);
            tree.a = static_cast<uint8_t>(std::min(255, fadeIn(x)));
            for (int32_t row = 0; row < h; ++row) {
                const int32_t half = row * 6 / h;
                for (int32_t dx = -half; dx <= half; ++dx) c.set(x + dx, top - h + row + 4, tree);
            }
        }
    }
    return c;
}

}  // namespace brallo::mapgen
