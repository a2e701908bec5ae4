// The heads-up display: the own player's lives, ammunition and colour badge, every player's
// points, and the end picture once the match is decided. Reads the world and the `win`/`lose`
// pictures; called by draw() as its last item, in window coordinates.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "brallo/game/world.h"
#include "brallo/main/textures.h"

namespace brallo {

/// Draws the HUD over whatever is in the window. `nowMs` is the wall clock in milliseconds
/// (SDL_GetTicks of the caller); it only decides the blink of a bar one point short of winning.
/// Throws game::GameError when world.myself is not an index of world.players, and
/// oskasdl::SDLException when the end picture cannot be queried or copied.
void drawHUD(SDL_Renderer* display, const game::World& world, const Textures& textures,
             uint32_t nowMs);

}  // namespace brallo
