// Renderers, colours, rectangles, textures and BMP pictures as plain values over SDL2.
// Failures that matter raise SDLException; nothing here frees what it hands out.
// Called by the client's start-up, map loading and drawing code.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string_view>

namespace oskasdl {

/// A drawing colour: red, green, blue; always drawn with alpha 255.
struct Color {
    uint8_t r = 0, g = 0, b = 0;
};

/// SDL_CreateRenderer with the first driver that fits; unchecked, may be null.
SDL_Renderer* createRenderer(SDL_Window* window, uint32_t flags);
/// Sets the draw colour (alpha 255) and returns `r`, so that a fill can follow on the result.
SDL_Renderer* setColor(SDL_Renderer* r, Color c);
/// Fills `rect` with the current draw colour.
void fillRect(SDL_Renderer* r, SDL_Rect rect);

/// A texture made from `s` (which stays alive); a failure raises SDLException.
SDL_Texture* fromSurface(SDL_Renderer* r, SDL_Surface* s);
/// The texture's size in pixels; a failure raises SDLException.
int width(SDL_Texture* t);
int height(SDL_Texture* t);

/// Copies the whole texture unscaled with its top-left corner at (x, y).
void renderCopy(SDL_Renderer* r, SDL_Texture* t, int x, int y);
/// Copies the part `src` of the texture unscaled with its top-left corner at (x, y).
void renderCopy(SDL_Renderer* r, SDL_Texture* t, const SDL_Rect& src, int x, int y);

/// Loads a BMP file; a failure raises SDLException("Failed to load Bitmap").
SDL_Surface* loadBMP(std::string_view file);

inline int width(const SDL_Rect& r) {
    return r.w;
}
inline int height(const SDL_Rect& r) {
    return r.h;
}

/// `relative` moved by the origin's corner; the origin's size plays no part.
inline SDL_Rect absolute(SDL_Rect origin, SDL_Rect relative) {
    return SDL_Rect{origin.x + relative.x, origin.y + relative.y, relative.w, relative.h};
}

}  // namespace oskasdl
