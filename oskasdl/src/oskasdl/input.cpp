// The keyboard state; see input.h.
#include "oskasdl/input.h"

#include <SDL.h>

namespace oskasdl {

std::span<const uint8_t> getKeyboardState() {
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    if (state == nullptr || count < 0) return {};
    return {state, static_cast<std::size_t>(count)};
}

}  // namespace oskasdl
