// The bot's drivers: what it answers to each "GoOn". Each reads only the world the bot simulates
// (and its own fixed inputs), never the clock, so a bot plays the same match the same way.
// Made by main from the options; called by the match loop once per tick.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "brallo/game/world.h"

namespace brallo::bot {

class Driver {
  public:
    virtual ~Driver() = default;
    /// The own three-character command for the tick about to be simulated. `world` is the world
    /// before the tick's step, as every client of the match holds it at this moment.
    virtual std::string command(const game::World& world) = 0;
};

/// A script that cannot be used; main reports it like a bad option.
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Always "___".
std::unique_ptr<Driver> makeIdleDriver();

/// Random commands from its own MT19937 seeded with `seed` (never the world's generator), each
/// kept for 1 to 20 ticks so that the bot runs and jumps rather than trembles.
std::unique_ptr<Driver> makeRandomDriver(uint32_t seed);

/// Line k of the script is the command of tick k; after the last line, "___". Every line must
/// be exactly three bytes (a trailing CR is dropped). Throws ScriptError naming the line.
std::unique_ptr<Driver> makeScriptDriver(const std::vector<std::string>& lines);
/// The lines of a script file; throws ScriptError when it cannot be read.
std::vector<std::string> readScriptLines(const std::string& path);

/// A fair opponent: chases the nearest other player, jumps at walls and toward higher targets,
/// fires when it faces a target at about its own height, and fetches a weapon at the nearest
/// weapon spot when its ammunition is out.
std::unique_ptr<Driver> makeAiDriver();

}  // namespace brallo::bot
