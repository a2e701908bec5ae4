// The keyboard state as a view of SDL's own table, one byte per scancode (non-zero while held).
// Reflects the key states as of the last time events were taken from SDL.
// Called by the client when it builds its command for a tick.
#pragma once

#include <cstdint>
#include <span>

namespace oskasdl {

/// SDL's keyboard state, indexed by SDL_Scancode; valid for the life of the program.
std::span<const uint8_t> getKeyboardState();

}  // namespace oskasdl
