// A software renderer over an 800 by 600 surface for the drawing tests: paint, then read pixels.
// Also makes small single-colour pictures, optionally with a marker pixel row and column.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <vector>

#include "brallo/game/world.h"
#include "brallo/main/textures.h"

namespace brallo::game {
inline std::ostream& operator<<(std::ostream& os, const Color& c) {
    return os << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
}
}  // namespace brallo::game

namespace brallo::testing {

using game::Color;

inline constexpr Color background{1, 2, 3};

class Canvas {
  public:
    Canvas() {
        surface_ = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_ARGB8888);
        if (surface_ == nullptr) throw std::runtime_error(SDL_GetError());
        renderer_ = SDL_CreateSoftwareRenderer(surface_);
        if (renderer_ == nullptr) throw std::runtime_error(SDL_GetError());
        clear();
    }
    ~Canvas() {
        for (SDL_Texture* t : textures_) SDL_DestroyTexture(t);
        SDL_DestroyRenderer(renderer_);
        SDL_FreeSurface(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    SDL_Renderer* renderer() const { return renderer_; }

    void clear() {
        SDL_SetRenderDrawColor(renderer_, background.r, background.g, background.b, 255);
        SDL_RenderClear(renderer_);
    }

    /// The colour at window pixel (x, y), after every queued drawing has landed.
    Color at(int x, int y) {
        SDL_RenderFlush(renderer_);
        const auto* row = static_cast<const uint8_t*>(surface_->pixels) + y * surface_->pitch;
        const uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
        Color c;
        SDL_GetRGB(pixel, surface_->format, &c.r, &c.g, &c.b);
        return c;
    }

    /// An opaque w by h picture in `fill`; with a marker, its pixels in column 1 and row 1 are
    /// `marker` instead, so the picture's position shows even when its corner is off-window.
    SDL_Texture* picture(int w, int h, Color fill, const Color* marker = nullptr) {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (s == nullptr) throw std::runtime_error(SDL_GetError());
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, fill.r, fill.g, fill.b));
        if (marker != nullptr) {
            const uint32_t m = SDL_MapRGB(s->format, marker->r, marker->g, marker->b);
            SDL_Rect column{1, 0, 1, h};
            SDL_Rect row{0, 1, w, 1};
            SDL_FillRect(s, &column, m);
            SDL_FillRect(s, &row, m);
        }
        SDL_Texture* t = SDL_CreateTextureFromSurface(renderer_, s);
        SDL_FreeSurface(s);
        if (t == nullptr) throw std::runtime_error(SDL_GetError());
        textures_.push_back(t);
        return t;
    }

  private:
    SDL_Surface* surface_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    std::vector<SDL_Texture*> textures_;
};

// Colours of the test pictures, distinct from each other, the HUD and the first players.
inline constexpr Color farColor{10, 60, 10};
inline constexpr Color nearColor{20, 70, 20};
inline constexpr Color levelColor{30, 80, 30};
inline constexpr Color leftEyes{40, 40, 90};
inline constexpr Color rightEyes{50, 50, 100};
inline constexpr Color winColor{60, 10, 60};
inline constexpr Color loseColor{70, 20, 70};

/// The eye pictures are 6 by 4.
inline constexpr int eyeW = 6, eyeH = 4;

/// Small pictures for every texture: the parallax layers and the level 1 by 1 at the window's
/// top-left (out of the way), eyes 6 by 4, end pictures 400 by 300.
inline Textures smallTextures(Canvas& canvas) {
    Textures t;
    t.parallax5 = canvas.picture(1, 1, farColor);
    t.parallax2 = canvas.picture(1, 1, nearColor);
    t.foreground = canvas.picture(1, 1, levelColor);
    t.lookLeft = canvas.picture(eyeW, eyeH, leftEyes);
    t.lookRight = canvas.picture(eyeW, eyeH, rightEyes);
    t.win = canvas.picture(400, 300, winColor);
    t.lose = canvas.picture(400, 300, loseColor);
    return t;
}

}  // namespace brallo::testing
