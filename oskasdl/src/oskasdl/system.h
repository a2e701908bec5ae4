// SDL start-up, windows, delays and the exception type of the wrapper library.
// Reads SDL's error text on failure; holds no state of its own.
// Called by the client's start-up and by every other oskasdl module.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace oskasdl {

/// A failure reported by SDL; the message is SDL's error text unless a fixed text is given.
class SDLException : public std::runtime_error {
  public:
    /// Takes SDL's current error text (SDL_GetError).
    SDLException();
    explicit SDLException(const std::string& msg);
};

/// Returns `value`; -1 (and only -1) raises SDLException with SDL's error text.
int sdlEnforce(int value);

/// initSDL(0x7231): timer, audio, video, joystick, haptic, game controller and events.
void initSDL();
/// Prints "init(<flags>)", starts SDL with `flags` and prints "Initialized"; on failure prints
/// "Initiliziation failed" and throws SDLException("Initialization failed").
void initSDL(uint32_t flags);

/// SDL_CreateWindow; the handle is returned unchecked and may be null.
SDL_Window* createWindow(std::string_view title, int x, int y, int w, int h, uint32_t flags);
/// createWindow centred on the screen.
SDL_Window* createCenteredWindow(std::string_view title, int w, int h, uint32_t flags);

/// Sleeps `ms` milliseconds; a count of 0 or less returns at once.
void delay(int64_t ms);

}  // namespace oskasdl
