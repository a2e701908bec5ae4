// Loading a map: its three pictures, the four shared pictures, then its text file of blocks,
// platforms, weapon spots and background colour. Called once by start-up.
#pragma once

#include <SDL.h>

#include <string>
#include <string_view>

#include "brallo/game/world.h"
#include "brallo/main/textures.h"

namespace brallo {

/// A texture of the BMP file `name`, whose fourth byte of each pixel is its opacity.
SDL_Texture* loadImg(SDL_Renderer* display, const std::string& name);

/// Loads "maps/<mapName>.fg.bmp", ".p2.bmp", ".p5.bmp", "l.bmp", "r.bmp", "winner.bmp",
/// "loser.bmp" in this order, then applies "maps/<mapName>.txt" to the world and `bgColor`.
void load(SDL_Renderer* display, std::string_view mapName, Textures& textures, game::World& world,
          game::Color& bgColor);

}  // namespace brallo
