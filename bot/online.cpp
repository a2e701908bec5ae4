// The bot's match loop: one server message per pass, as in the client, without drawing or
// frame pacing, so it answers every "GoOn" as soon as it arrives.
#include <ostream>
#include <sstream>

#include "brallo/main/maptext.h"
#include "brallo/main/protocol.h"
#include "drivers.h"
#include "report.h"
#include "session.h"
#include "tcp_channel.h"

namespace brallo::bot {

void loadMap(const std::string& dataDir, const std::string& mapName, game::World& world) {
    game::Color background;
    applyMapText(readFileBytes(dataDir + "/maps/" + mapName + ".txt"), world, background);
}

int playOnline(const BotOptions& options, Driver& driver, std::ostream& out, std::ostream& log) {
    TcpChannel server(options.host, options.port);
    log << "Connected to " << options.host << ':' << options.port << std::endl;

    game::World world;
    std::string mapName = "map1";
    std::istringstream noConsole;
    handshake(server, world, mapName, log, noConsole);
    loadMap(options.dataDir, mapName, world);
    log << "Playing as player " << world.myself << " of " << world.players.size() << " on "
        << mapName << std::endl;

    Reporter reporter(out, options.digestEvery, options.printPlayers);
    int64_t tick = 0;
    auto done = [&] { return options.ticks && tick >= *options.ticks; };
    try {
        for (;;) {
            if (stopRequested()) throw StopRequested("Stopped by a signal");
            if (handleServerMessage(server, world) == ServerEvent::relay) continue;
            // This "GoOn" shows that every command of the last tick has been applied here; a bot
            // that has done its ticks leaves now, with the same world as a replay of the record.
            if (done()) break;
            ++tick;
            std::string command = driver.command(world);
            server.send(command);
            game::step(world);
            reporter.afterStep(tick, world);
            game::handleMessage(world, command, world.myself);
        }
    } catch (const StopRequested&) {
        log << "Stopped after " << tick << " ticks" << std::endl;
    } catch (const ConnectionClosed& e) {
        reporter.summary(tick, world);
        if (done()) return 0;
        throw ConnectionClosed(std::string(e.what()) + " after " + std::to_string(tick) + " ticks");
    }
    server.close();
    reporter.summary(tick, world);
    return 0;
}

}  // namespace brallo::bot
