// Command line of brallo-bot: parsing into `BotOptions` and the --help text. Reads only its
// arguments; called by the bot's main and by the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace brallo::bot {

/// A command line the bot cannot run with; main prints the message and exits with status 2.
struct OptionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class DriverKind { ai, random, script, idle };

struct BotOptions {
    bool help = false;
    std::string host = "127.0.0.1";
    uint16_t port = 11112;
    std::string dataDir = ".";  ///< holds maps/<name>.txt, like the client's working directory
    DriverKind driver = DriverKind::ai;
    uint32_t randomSeed = 0;       ///< --random: seeds the driver's own generator
    std::string scriptFile;        ///< --script: one command per line, one line per tick
    std::optional<int64_t> ticks;  ///< leave after this many ticks
    int64_t digestEvery = 0;       ///< 0: no digest lines
    bool printPlayers = false;     ///< player lines beside each digest line and the summary
    std::string replayFile;        ///< non-empty: re-simulate this record instead of playing
    int64_t connections = 0;       ///< above 0: the load mode with this many light clients
};

/// Parses the arguments after the program name ("--name value" or "--name=value", and at most
/// one HOST[:PORT]). Throws OptionError naming the argument at fault.
BotOptions parseBotOptions(std::span<const std::string_view> args);

/// The text --help prints.
std::string botHelpText();

}  // namespace brallo::bot
