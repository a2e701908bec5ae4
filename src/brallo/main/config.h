// The match configuration: applies the TEV text that the server sends at match setup to the
// world's settings (mode, winPoints, weapon lists) and to the map name. Reads the text through
// the TEV reader; called by match setup, the bot, the tools and the tests.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "brallo/game/world.h"

namespace brallo {

/// A configuration that cannot be applied: a bad argument, a missing one, an unknown weapon.
struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// A configuration with an unknown command word; raised after the user has acknowledged it.
struct ConfigRefused : ConfigError {
    using ConfigError::ConfigError;
};

/// Applies the commands "mode", "map", "winPoints", "goldList" and "silverList", line by line,
/// to `world` and `mapName`; later lines override earlier ones. Writes "New gl length: N" and
/// "New sl length: N" to `out`. On an unknown command it writes "Unknown commmand: <word>",
/// reads one line from `in` and throws ConfigRefused. Commands before a failing line have
/// taken effect. Throws ConfigError and tev::TEVError.
void parseConfig(std::string_view config, game::World& world, std::string& mapName,
                 std::ostream& out, std::istream& in);

/// The whole text as a decimal 32-bit signed integer with an optional "+" or "-"; nullopt for
/// anything else (empty, spaces, other characters, out of range).
std::optional<int32_t> decimalInt32(std::string_view text);

}  // namespace brallo
