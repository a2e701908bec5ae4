// The seven pictures of a match, loaded once by the map loader and only read by the drawing.
#pragma once

#include <SDL.h>

namespace brallo {

struct Textures {
    SDL_Texture* foreground = nullptr;  ///< the level, drawn with its top-left at the world origin
    SDL_Texture* parallax2 = nullptr;   ///< nearer background layer
    SDL_Texture* parallax5 = nullptr;   ///< farthest background layer
    SDL_Texture* lookLeft = nullptr;    ///< a player's eyes looking left
    SDL_Texture* lookRight = nullptr;   ///< a player's eyes looking right
    SDL_Texture* win = nullptr;         ///< end picture of a won match
    SDL_Texture* lose = nullptr;        ///< end picture of a lost match
};

}  // namespace brallo
