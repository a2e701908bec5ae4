// The two ways the bot runs a match: online against the relay, and the offline replay of a
// relay record. Both print through a Reporter, so their lines compare verbatim. Called by main.
#pragma once

#include <iosfwd>
#include <string>

#include "brallo/game/world.h"
#include "options.h"

namespace brallo::bot {

class Driver;

/// Applies <dataDir>/maps/<mapName>.txt to the world, as the client does after setup.
void loadMap(const std::string& dataDir, const std::string& mapName, game::World& world);

/// Connects, runs the setup, plays until --ticks are done (0) or a stop signal (0), and prints
/// the summary. Setup and progress lines go to `log`. Throws on failures, the server closing
/// the connection before --ticks were done included (after printing the summary).
int playOnline(const BotOptions& options, Driver& driver, std::ostream& out, std::ostream& log);

/// Re-simulates options.replayFile up to its last tick (or --ticks) and prints the same lines
/// as the bot that was player 0 of that match. Throws on a bad record or map.
int replayRecord(const BotOptions& options, std::ostream& out, std::ostream& log);

}  // namespace brallo::bot
