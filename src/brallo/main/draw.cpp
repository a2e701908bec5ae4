#include "brallo/main/draw.h"

#include <algorithm>
#include <string>

#include "oskasdl/video.h"

namespace brallo {

namespace {

// A player blinks in this colour during parts of its invincibility.
constexpr game::Color blinkColor{0, 150, 200};

bool blinking(int32_t invicible) {
    // Signed remainder: only positive counts ending in 6 to 9 blink.
    return invicible % 10 > 5;
}

}  // namespace

game::Color colorOf(uint32_t index) {
    // Unsigned arithmetic wraps modulo 2^32, a multiple of 256, so the low byte is exact.
    return {static_cast<uint8_t>(200u + 173u * index), static_cast<uint8_t>(213u * index),
            static_cast<uint8_t>(115u + 189u * index)};
}

const game::Player& ownPlayer(const game::World& world) {
    if (world.myself < 0 || static_cast<size_t>(world.myself) >= world.players.size()) {
        throw game::GameError("own player " + std::to_string(world.myself) +
                              " is not in the player table");
    }
    return world.players[static_cast<size_t>(world.myself)];
}

namespace window {

void fill(SDL_Renderer* display, game::Color color, int64_t x, int64_t y, int64_t w, int64_t h) {
    if (w <= 0 || h <= 0) return;  // the software renderer would still paint a line
    // Clip before narrowing to SDL's ints (and its floats): pixels outside never show anyway.
    // Every term stays far from the int64 range: callers pass 32-bit values times small factors.
    const int64_t x0 = std::max<int64_t>(x, 0);
    const int64_t y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(x + w, width);
    const int64_t y1 = std::min<int64_t>(y + h, height);
    if (x0 >= x1 || y0 >= y1) return;
    oskasdl::setColor(display, {color.r, color.g, color.b});
    oskasdl::fillRect(display, SDL_Rect{static_cast<int>(x0), static_cast<int>(y0),
                                        static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)});
}

void copy(SDL_Renderer* display, SDL_Texture* picture, int64_t x, int64_t y) {
    const int64_t w = oskasdl::width(picture);
    const int64_t h = oskasdl::height(picture);
    if (x >= width || y >= height || x + w <= 0 || y + h <= 0) return;
    // Overlapping the window bounds x and y to (-w, 800) and (-h, 600), so they fit an int.
    oskasdl::renderCopy(display, picture, static_cast<int>(x), static_cast<int>(y));
}

}  // namespace window

void draw(SDL_Renderer* display, game::Vec<int32_t> cam, const game::World& world,
          const Textures& textures, uint32_t nowMs) {
    ownPlayer(world);  // fail before painting anything when the own player is missing

    // -INT32_MIN does not fit 32 bits, so the offset is kept in 64.
    const int64_t offX = -int64_t{cam.x};
    const int64_t offY = -int64_t{cam.y};

    // Integer division truncates toward zero, which is how the layers are meant to lag.
    window::copy(display, textures.parallax5, offX / 5, offY / 5);
    window::copy(display, textures.parallax2, offX / 2, offY / 2);
    window::copy(display, textures.foreground, offX, offY);

    for (size_t i = 0; i < world.players.size(); ++i) {
        const game::Player& p = world.players[i];
        const game::Color color =
            blinking(p.invicible) ? blinkColor : colorOf(static_cast<uint32_t>(i));
        const game::Rect body = p.getBounds();
        const int64_t x = body.x + offX;
        const int64_t y = body.y + offY;
        window::fill(display, color, x, y, body.w, body.h);
        window::copy(display, p.looksLeft ? textures.lookLeft : textures.lookRight, x, y);
    }

    for (const game::ThingContainer& tc : world.things) {
        if (!tc.used) continue;
        const game::Rect r = tc.t.rect();
        window::fill(display, tc.t.color, r.x + offX, r.y + offY, r.w, r.h);
    }

    drawHUD(display, world, textures, nowMs);
}

}  // namespace brallo
