// The camera: the world point shown at the window's top-left corner, moved just far enough to
// keep the own player inside a dead zone in the middle of the window. Reads one player; called
// once per pass by the main loop before drawing.
#pragma once

#include <cstdint>

#include "brallo/game/world.h"

namespace brallo {

/// Moves `cam` the least distance that keeps the middle of `own`'s standing box within the
/// window zone x 250..550, y 250..350. Positions near the ends of the int range saturate.
void adjustCam(game::Vec<int32_t>& cam, const game::Player& own);

}  // namespace brallo
