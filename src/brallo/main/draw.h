// Drawing of one frame: the parallax backgrounds, the level picture, the players with their eyes,
// the things and then the HUD. Reads the world and the textures and changes neither; called once
// per pass by the main loop after adjustCam. Also offers the clipped painting both parts share.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "brallo/game/world.h"
#include "brallo/main/camera.h"
#include "brallo/main/hud.h"
#include "brallo/main/textures.h"

namespace brallo {

/// The colour of player `index`: (200 + 173 i, 213 i, 115 + 189 i), each modulo 256, so it
/// repeats every 256 players.
game::Color colorOf(uint32_t index);

/// Draws the world as seen from `cam` (the world point at the window's top-left), then the HUD.
/// Throws game::GameError when world.myself is not an index of world.players, and
/// oskasdl::SDLException when a picture cannot be queried or copied.
void draw(SDL_Renderer* display, game::Vec<int32_t> cam, const game::World& world,
          const Textures& textures, uint32_t nowMs);

/// The own player, world.players[world.myself]; throws game::GameError when there is none.
const game::Player& ownPlayer(const game::World& world);

namespace window {

inline constexpr int64_t width = 800;
inline constexpr int64_t height = 600;

/// Fills the rectangle (x, y, w, h), given in window pixels, in `color`. Only its part inside the
/// window is passed to the renderer, so coordinates far outside the int range of SDL are fine;
/// an empty or wholly outside rectangle draws nothing.
void fill(SDL_Renderer* display, game::Color color, int64_t x, int64_t y, int64_t w, int64_t h);

/// Copies `picture` whole and unscaled with its top-left at (x, y). Its size is always queried
/// (a bad texture raises oskasdl::SDLException); the copy is left out only when no pixel of it
/// could land in the window.
void copy(SDL_Renderer* display, SDL_Texture* picture, int64_t x, int64_t y);

}  // namespace window

}  // namespace brallo
