// A picture in memory: straight (not premultiplied) RGBA pixels, row by row from the top, with
// clipped rectangle fills and alpha blending. No SDL. Used by every renderer of brallo-mapgen and
// read by the BMP writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brallo::mapgen {

struct Pixel {
    uint8_t r = 0, g = 0, b = 0, a = 0;  ///< a: opacity, 0 transparent, 255 opaque
    constexpr bool operator==(const Pixel&) const = default;
};

/// An opaque colour.
constexpr Pixel rgb(uint8_t r, uint8_t g, uint8_t b) {
    return Pixel{r, g, b, 255};
}

/// `from` moved toward `to` by t/256 (t from 0 to 256), alpha included.
Pixel mix(Pixel from, Pixel to, int32_t t);

class Canvas {
  public:
    /// A fully transparent picture; sizes below 1 become 1 so every picture has a pixel.
    Canvas(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }

    /// The pixel at (x, y); (x, y) must be inside.
    Pixel at(int32_t x, int32_t y) const { return pixels_[index(x, y)]; }
    /// Sets a pixel; points outside are ignored.
    void set(int32_t x, int32_t y, Pixel p);
    /// Paints `p` over the pixel by its alpha; points outside are ignored.
    void blend(int32_t x, int32_t y, Pixel p);
    /// Sets every pixel of the rectangle that lies inside the picture.
    void fillRect(int32_t x, int32_t y, int32_t w, int32_t h, Pixel p);
    /// Blends `p` over every pixel of the rectangle that lies inside the picture.
    void blendRect(int32_t x, int32_t y, int32_t w, int32_t h, Pixel p);
    void fill(Pixel p) { fillRect(0, 0, width_, height_, p); }

  private:
    std::size_t index(int32_t x, int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    int32_t width_;
    int32_t height_;
    std::vector<Pixel> pixels_;
};

/// A deterministic 32-bit hash of two coordinates and a seed, for textures and scattering.
uint32_t hash3(int32_t x, int32_t y, uint32_t seed);

}  // namespace brallo::mapgen
