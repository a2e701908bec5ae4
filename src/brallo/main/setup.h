// Match setup of the client: asks on the console where the relay server is, connects, runs the
// handshake and makes the socket set that the main loop waits on. Called once by start-up.
#pragma once

#include <SDL_net.h>

#include <iosfwd>
#include <string>
#include <string_view>

#include "brallo/game/world.h"
#include "oskasdl/ext/net.h"

namespace brallo {

struct ServerConnection {
    oskasdl::TCPSocket serverSoc;
    SDLNet_SocketSet set = nullptr;  ///< holds serverSoc and nothing else
};

/// Host and port from the console answer: "", "host", "host:port" or ":port"; the port
/// defaults to `defaultPort` and an empty host to "127.0.0.1".
struct ServerAddress {
    std::string host;
    uint16_t port;
};
ServerAddress parseServerAddress(std::string_view answer, uint16_t defaultPort);

ServerConnection connect(game::World& world, std::string& mapName, std::istream& in,
                         std::ostream& out);

}  // namespace brallo
