// Offline re-simulation of a relay record: the setup that the relay's answers would have made,
// then per tick the step and every player's recorded command, in the order the clients apply
// them.
#include <fstream>
#include <ostream>
#include <sstream>

#include "brallo/main/config.h"
#include "brallo/main/protocol.h"
#include "relay/record.h"
#include "report.h"
#include "session.h"

namespace brallo::bot {

int replayRecord(const BotOptions& options, std::ostream& out, std::ostream& log) {
    std::ifstream file(options.replayFile, std::ios::binary);
    if (!file) throw std::runtime_error("Cannot read the record \"" + options.replayFile + "\"");
    relay::Recording record = relay::readRecording(file);
    if (record.players < 1 || record.players > maxPlayers) {
        throw std::runtime_error("The record has " + std::to_string(record.players) +
                                 " players; a match has 1 to " + std::to_string(maxPlayers));
    }

    // Player 0's view, as the bot that joined first saw the match.
    game::World world;
    game::setupPlayers(world, record.players, 0);
    log << "Seed: " << record.seed << std::endl;
    world.rnd.seed(record.seed);
    std::string mapName = "map1";
    std::istringstream noConsole;
    parseConfig(record.config, world, mapName, log, noConsole);
    loadMap(options.dataDir, mapName, world);
    log << "Replaying " << record.ticks.size() << " ticks of " << record.players << " players on "
        << mapName << (record.finished ? "" : " (the record has no end)") << std::endl;

    Reporter reporter(out, options.digestEvery, options.printPlayers);
    int64_t tick = 0;
    for (const std::vector<std::string>& commands : record.ticks) {
        if (options.ticks && tick >= *options.ticks) break;
        if (commands.size() != static_cast<std::size_t>(record.players)) {
            throw std::runtime_error("The record's tick " + std::to_string(tick + 1) + " has " +
                                     std::to_string(commands.size()) + " commands");
        }
        ++tick;
        game::step(world);
        reporter.afterStep(tick, world);
        for (std::size_t p = 0; p < commands.size(); ++p) {
            // A dropped player is announced to the others with "___" once; applying it again in
            // later ticks changes nothing.
            const std::string& command = commands[p].empty() ? std::string("___") : commands[p];
            game::handleMessage(world, command, static_cast<int32_t>(p));
        }
    }
    reporter.summary(tick, world);
    return 0;
}

}  // namespace brallo::bot
