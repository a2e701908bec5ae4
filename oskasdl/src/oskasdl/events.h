// The generic event loop: hands each SDL event to the loop object's matching `on` handler.
// Reads SDL's event queue; the handlers are found at compile time, events without one are dropped.
// Called by the client's main loop (and by pumpEvents while it waits for the server).
#pragma once

#include <SDL.h>

namespace oskasdl {

namespace detail {

template <typename Loop, typename Event>
concept Handles = requires(Loop& loop, const Event& event) {
    loop.on(event);
};

/// Event type -> member of SDL_Event; the handler is called only when the loop object has one.
template <typename Loop>
void dispatch(Loop& loop, const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            if constexpr (Handles<Loop, SDL_QuitEvent>) loop.on(event.quit);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if constexpr (Handles<Loop, SDL_KeyboardEvent>) loop.on(event.key);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if constexpr (Handles<Loop, SDL_MouseButtonEvent>) loop.on(event.button);
            break;
        case SDL_MOUSEMOTION:
            if constexpr (Handles<Loop, SDL_MouseMotionEvent>) loop.on(event.motion);
            break;
        case SDL_MOUSEWHEEL:
            if constexpr (Handles<Loop, SDL_MouseWheelEvent>) loop.on(event.wheel);
            break;
        case SDL_TEXTINPUT:
            if constexpr (Handles<Loop, SDL_TextInputEvent>) loop.on(event.text);
            break;
        case SDL_WINDOWEVENT:
            if constexpr (Handles<Loop, SDL_WindowEvent>) loop.on(event.window);
            break;
        default:
            break;
    }
}

}  // namespace detail

/// Takes every pending event and hands each to its handler in `loop`; returns whether any
/// event was taken. The event record is zeroed once, before the first event is taken.
template <typename Loop>
bool pumpEvents(Loop& loop) {
    SDL_Event event;
    SDL_zero(event);
    bool any = false;
    while (SDL_PollEvent(&event) != 0) {
        any = true;
        detail::dispatch(loop, event);
    }
    return any;
}

/// While `loop.keepLooping`: hands out the pending events, then calls `loop.looping()` once.
template <typename Loop>
void eventLoop(Loop loop) {
    while (loop.keepLooping) {
        pumpEvents(loop);
        loop.looping();
    }
}

}  // namespace oskasdl
