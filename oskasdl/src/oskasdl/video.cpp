// Renderers, textures and BMP pictures; see video.h.
#include "oskasdl/video.h"

#include <string>

#include "oskasdl/system.h"

namespace oskasdl {

SDL_Renderer* createRenderer(SDL_Window* window, uint32_t flags) {
    return SDL_CreateRenderer(window, -1, flags);
}

SDL_Renderer* setColor(SDL_Renderer* r, Color c) {
    SDL_SetRenderDrawColor(r, c.r, c.g, c.b, 255);
    return r;
}

void fillRect(SDL_Renderer* r, SDL_Rect rect) {
    SDL_RenderFillRect(r, &rect);
}

SDL_Texture* fromSurface(SDL_Renderer* r, SDL_Surface* s) {
    SDL_Texture* texture = SDL_CreateTextureFromSurface(r, s);
    if (texture == nullptr) throw SDLException();
    return texture;
}

int width(SDL_Texture* t) {
    int w = 0;
    sdlEnforce(SDL_QueryTexture(t, nullptr, nullptr, &w, nullptr));
    return w;
}

int height(SDL_Texture* t) {
    int h = 0;
    sdlEnforce(SDL_QueryTexture(t, nullptr, nullptr, nullptr, &h));
    return h;
}

void renderCopy(SDL_Renderer* r, SDL_Texture* t, int x, int y) {
    int w = 0;
    int h = 0;
    sdlEnforce(SDL_QueryTexture(t, nullptr, nullptr, &w, &h));
    renderCopy(r, t, SDL_Rect{0, 0, w, h}, x, y);
}

void renderCopy(SDL_Renderer* r, SDL_Texture* t, const SDL_Rect& src, int x, int y) {
    const SDL_Rect dst{x, y, src.w, src.h};
    sdlEnforce(SDL_RenderCopy(r, t, &src, &dst));
}

SDL_Surface* loadBMP(std::string_view file) {
    const std::string zeroTerminated(file);
    // A null stream (file missing) is accepted by the loader and reported as a null surface.
    SDL_Surface* surface = SDL_LoadBMP_RW(SDL_RWFromFile(zeroTerminated.c_str(), "rb"), 1);
    if (surface == nullptr) throw SDLException("Failed to load Bitmap");
    return surface;
}

}  // namespace oskasdl
