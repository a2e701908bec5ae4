// Pixel storage and the few painting operations the renderers build on.
#include "canvas.h"

#include <algorithm>

namespace brallo::mapgen {

namespace {

uint8_t lerp(uint8_t from, uint8_t to, int32_t t) {
    return static_cast<uint8_t>(from + (static_cast<int32_t>(to) - from) * t / 256);
}

// The part of [start, start + length) that lies within [0, limit), as [lo, hi).
void clipSpan(int32_t start, int32_t length, int32_t limit, int32_t& lo, int32_t& hi) {
    const int64_t end = static_cast<int64_t>(start) + std::max<int64_t>(length, 0);
    lo = static_cast<int32_t>(std::clamp<int64_t>(start, 0, limit));
    hi = static_cast<int32_t>(std::clamp<int64_t>(end, 0, limit));
}

}  // namespace

Pixel mix(Pixel from, Pixel to, int32_t t) {
    t = std::clamp(t, 0, 256);
    return Pixel{lerp(from.r, to.r, t), lerp(from.g, to.g, t), lerp(from.b, to.b, t),
                 lerp(from.a, to.a, t)};
}

Canvas::Canvas(int32_t width, int32_t height)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_)) {}

void Canvas::set(int32_t x, int32_t y, Pixel p) {
    if (contains(x, y)) pixels_[index(x, y)] = p;
}

void Canvas::blend(int32_t x, int32_t y, Pixel p) {
    if (!contains(x, y)) return;
    Pixel& dst = pixels_[index(x, y)];
    if (p.a == 255 || dst.a == 0) {
        dst = p;
        return;
    }
    // Straight alpha "over": colour mixes by the new pixel's opacity, opacity accumulates.
    Pixel out = mix(dst, Pixel{p.r, p.g, p.b, dst.a}, p.a + p.a / 128);
    out.a = static_cast<uint8_t>(dst.a + (255 - dst.a) * p.a / 255);
    dst = out;
}

void Canvas::fillRect(int32_t x, int32_t y, int32_t w, int32_t h, Pixel p) {
    int32_t x0, x1, y0, y1;
    clipSpan(x, w, width_, x0, x1);
    clipSpan(y, h, height_, y0, y1);
    for (int32_t yy = y0; yy < y1; ++yy) {
        std::fill(pixels_.begin() + static_cast<std::ptrdiff_t>(index(x0, yy)),
                  pixels_.begin() + static_cast<std::ptrdiff_t>(index(x0, yy) + (x1 - x0)), p);
    }
}

void Canvas::blendRect(int32_t x, int32_t y, int32_t w, int32_t h, Pixel p) {
    int32_t x0, x1, y0, y1;
    clipSpan(x, w, width_, x0, x1);
    clipSpan(y, h, height_, y0, y1);
    for (int32_t yy = y0; yy < y1; ++yy) {
        for (int32_t xx = x0; xx < x1; ++xx) blend(xx, yy, p);
    }
}

uint32_t hash3(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u;
    h ^= static_cast<uint32_t>(x) * 0x85EBCA6Bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

}  // namespace brallo::mapgen
