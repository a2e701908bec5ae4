// Start-up of the client: SDL, SDL_net, match setup on the console, the window, the map, then
// the main loop until the window is closed. Every failure ends here with its message and status 1.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <exception>
#include <iostream>
#include <memory>

#include "brallo/main/client.h"
#include "brallo/main/loop.h"
#include "brallo/main/mapload.h"
#include "brallo/main/setup.h"
#include "oskasdl/events.h"
#include "oskasdl/ext/net.h"
#include "oskasdl/system.h"
#include "oskasdl/video.h"

namespace {

int run() {
    oskasdl::initSDL();
    oskasdl::initNet();

    auto client = std::make_unique<brallo::Client>();
    client->server = brallo::connect(client->world, client->globalMapName, std::cin, std::cout);

    SDL_Window* window = oskasdl::createCenteredWindow("Brallo", 800, 600, 0);
    if (window == nullptr) throw oskasdl::SDLException();
    SDL_Renderer* display = oskasdl::createRenderer(window, 0);
    if (display == nullptr) throw oskasdl::SDLException();

    brallo::load(display, client->globalMapName, client->textures, client->world,
                 client->globalBgColor);
    std::cout << "main loop" << std::endl;

    brallo::MainLoop loop;
    loop.display = display;
    loop.client = client.get();
    oskasdl::eventLoop(loop);
    return 0;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << e.what() << std::endl;
        return 1;
    }
}
