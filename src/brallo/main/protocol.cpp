#include "brallo/main/protocol.h"

#include <ostream>

#include "brallo/main/config.h"
#include "brallo/main/numbers.h"

namespace brallo {

void handshake(MessageChannel& server, game::World& world, std::string& mapName, std::ostream& out,
               std::istream& in) {
    server.send("count?");
    int32_t count = parseInt32(server.receive(), "player count");
    if (count < 1 || count > maxPlayers) {
        throw ProtocolError("The server announced " + std::to_string(count) +
                            " players; a match has 1 to " + std::to_string(maxPlayers));
    }

    server.send("me?");
    int32_t me = parseInt32(server.receive(), "own player number");
    if (me < 0 || me >= count) {
        throw ProtocolError("The server gave the own player number " + std::to_string(me) +
                            ", outside 0 to " + std::to_string(count - 1));
    }
    game::setupPlayers(world, count, me);

    server.send("seed?");
    std::string_view seedText = server.receive();
    out << "Seed: " << seedText << std::endl;
    world.rnd.seed(parseSeed(seedText));

    server.send("config?");
    out << "Receiving config" << std::endl;
    std::string config;
    for (;;) {
        std::string_view piece = server.receive();
        if (piece == ".") break;
        if (config.size() + piece.size() > maxConfigBytes) {
            throw ProtocolError("The configuration from the server exceeds " +
                                std::to_string(maxConfigBytes) + " bytes");
        }
        config.append(piece);
    }
    parseConfig(config, world, mapName, out, in);

    server.send("ok");
}

ServerEvent handleServerMessage(MessageChannel& server, game::World& world) {
    std::string_view msg = server.receive();
    if (msg == "GoOn") return ServerEvent::tick;

    int32_t plnr = parseInt32(msg, "server message (neither \"GoOn\" nor a player number)");
    if (plnr == world.myself) {
        throw ProtocolError("The server sent a command for the own player " + std::to_string(plnr));
    }
    // handleMessage refuses numbers outside the table and commands shorter than three.
    game::handleMessage(world, server.receive(), plnr);
    return ServerEvent::relay;
}

}  // namespace brallo
