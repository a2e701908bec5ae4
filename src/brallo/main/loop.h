// The main loop of the client: each pass draws the world, then handles one message from the
// relay server; a "GoOn" makes the pass a tick (send the own command, step, pace to 16 ms).
#pragma once

#include <SDL.h>

#include <cstdint>

#include "brallo/game/fint.h"
#include "brallo/main/client.h"

namespace brallo {

/// Length of one frame; a tick pass lasts at least this long.
inline constexpr uint32_t frameMs = 16;
/// How long one readiness check of the server connection may block.
inline constexpr uint32_t serverPollMs = 5;

struct MainLoop {
    SDL_Renderer* display = nullptr;
    game::Vec<int32_t> cam;
    uint32_t ticksBeforeFrame = 0;  ///< SDL_GetTicks() at the start of the current pass
    bool keepLooping = true;
    Client* client = nullptr;

    void on(const SDL_QuitEvent&) { keepLooping = false; }
    void looping();

  private:
    /// Waits until the server connection can be read; false when the player closed the window
    /// while the server stayed silent.
    bool waitForServer();
    void tick();
};

/// Milliseconds to wait after a tick pass that took `elapsed` so far: the rest of the frame.
constexpr uint32_t paceDelay(uint32_t elapsed) {
    return elapsed < frameMs ? frameMs - elapsed : 0;
}

}  // namespace brallo
