#include "brallo/main/mapload.h"

#include <memory>

#include "brallo/main/maptext.h"
#include "oskasdl/video.h"

namespace brallo {

SDL_Texture* loadImg(SDL_Renderer* display, const std::string& name) {
    // The texture keeps its own copy of the pixels; the surface is not needed after it is made.
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> surface(oskasdl::loadBMP(name),
                                                                     &SDL_FreeSurface);
    SDL_SetSurfaceAlphaMod(surface.get(), 255);
    // Make the top byte of every pixel count as its opacity, whatever the file's header says.
    surface->format->Amask = 0xFF000000;
    surface->format->Ashift = 24;
    return oskasdl::fromSurface(display, surface.get());
}

void load(SDL_Renderer* display, std::string_view mapName, Textures& textures, game::World& world,
          game::Color& bgColor) {
    const std::string base = "maps/" + std::string(mapName);
    textures.foreground = loadImg(display, base + ".fg.bmp");
    textures.parallax2 = loadImg(display, base + ".p2.bmp");
    textures.parallax5 = loadImg(display, base + ".p5.bmp");
    textures.lookLeft = loadImg(display, "l.bmp");
    textures.lookRight = loadImg(display, "r.bmp");
    textures.win = loadImg(display, "winner.bmp");
    textures.lose = loadImg(display, "loser.bmp");
    applyMapText(readFileBytes(base + ".txt"), world, bgColor);
}

}  // namespace brallo
