// SDL start-up, windows and delays; see system.h.
#include "oskasdl/system.h"

#include <iostream>
#include <limits>

namespace oskasdl {

SDLException::SDLException() : std::runtime_error(SDL_GetError()) {}

SDLException::SDLException(const std::string& msg) : std::runtime_error(msg) {}

int sdlEnforce(int value) {
    if (value == -1) throw SDLException();
    return value;
}

void initSDL() {
    initSDL(0x7231);
}

void initSDL(uint32_t flags) {
    // Flushed line by line: whoever reads our output through a pipe sees progress at once.
    std::cout << "init(" << flags << ")" << std::endl;
    if (SDL_Init(flags) == -1) {
        std::cout << "Initiliziation failed" << std::endl;
        throw SDLException("Initialization failed");
    }
    std::cout << "Initialized" << std::endl;
}

SDL_Window* createWindow(std::string_view title, int x, int y, int w, int h, uint32_t flags) {
    const std::string zeroTerminated(title);
    return SDL_CreateWindow(zeroTerminated.c_str(), x, y, w, h, flags);
}

SDL_Window* createCenteredWindow(std::string_view title, int w, int h, uint32_t flags) {
    return createWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
}

void delay(int64_t ms) {
    if (ms <= 0) return;
    constexpr int64_t longest = std::numeric_limits<Uint32>::max();
    SDL_Delay(static_cast<Uint32>(ms < longest ? ms : longest));
}

}  // namespace oskasdl
