#include "brallo/main/loop.h"

#include "brallo/main/draw.h"
#include "brallo/main/protocol.h"
#include "brallo/main/socket_channel.h"
#include "oskasdl/events.h"
#include "oskasdl/input.h"
#include "oskasdl/system.h"
#include "oskasdl/video.h"

namespace brallo {

void MainLoop::looping() {
    ticksBeforeFrame = SDL_GetTicks();
    game::World& world = client->world;

    const game::Color bg = client->globalBgColor;
    oskasdl::fillRect(oskasdl::setColor(display, {bg.r, bg.g, bg.b}), SDL_Rect{0, 0, 800, 600});
    adjustCam(cam, ownPlayer(world));
    draw(display, cam, world, client->textures, SDL_GetTicks());
    SDL_RenderPresent(display);

    if (!waitForServer()) return;
    SocketChannel server(client->server.serverSoc);
    if (handleServerMessage(server, world) == ServerEvent::tick) tick();
}

bool MainLoop::waitForServer() {
    for (;;) {
        int ready = SDLNet_CheckSockets(client->server.set, serverPollMs);
        if (ready < 0) {
            throw oskasdl::SDLNetException(std::string("Waiting for the server failed: ") +
                                           SDLNet_GetError());
        }
        if (ready > 0) {
            if (SDLNet_SocketReady(client->server.serverSoc.soc)) return true;
            throw oskasdl::SDLNetException(
                "Waiting for the server failed: the set reports an "
                "event but the connection is not readable");
        }
        // Keep the window alive while the server is silent, and let the player close it.
        oskasdl::pumpEvents(*this);
        if (!keepLooping) return false;
    }
}

void MainLoop::tick() {
    game::World& world = client->world;
    auto keys = oskasdl::getKeyboardState();
    const std::string toSend = game::encodeCommand(keys.data(), static_cast<int>(keys.size()));
    net::sendStr(client->server.serverSoc, toSend);
    game::step(world);
    game::handleMessage(world, toSend, world.myself);

    uint32_t wait = paceDelay(SDL_GetTicks() - ticksBeforeFrame);
    if (wait > 0) oskasdl::delay(wait);
}

}  // namespace brallo
