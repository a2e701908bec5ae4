// Parsing of the bot's command line; numbers are plain decimal digits, checked for range.
#include "options.h"

#include <charconv>
#include <limits>

namespace brallo::bot {

namespace {

template <typename T>
T parseNumber(std::string_view name, std::string_view text, T low, T high) {
    T value{};
    bool digitsOnly = !text.empty() && text.find_first_not_of("0123456789") == text.npos;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!digitsOnly || ec != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        throw OptionError("--" + std::string(name) + ": expected a whole number from " +
                          std::to_string(low) + " to " + std::to_string(high) + ", got \"" +
                          std::string(text) + "\"");
    }
    return value;
}

// "host", "host:port", ":port"; an empty host is the local machine, as in the client.
void parseAddress(std::string_view text, BotOptions& options) {
    std::string_view host = text;
    if (auto colon = text.find(':'); colon != text.npos) {
        host = text.substr(0, colon);
        std::string_view port = text.substr(colon + 1);
        bool digitsOnly = !port.empty() && port.find_first_not_of("0123456789") == port.npos;
        unsigned value = 0;
        auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (!digitsOnly || ec != std::errc{} || end != port.data() + port.size() || value < 1 ||
            value > 65535) {
            throw OptionError("bad port \"" + std::string(port) + "\" in \"" + std::string(text) +
                              "\": expected 1 to 65535");
        }
        options.port = static_cast<uint16_t>(value);
    }
    options.host = host.empty() ? "127.0.0.1" : std::string(host);
}

bool takesValue(std::string_view name) {
    static constexpr std::string_view withValue[] = {
        "data", "random", "script", "ticks", "digest-every", "replay", "connections"};
    for (auto n : withValue) {
        if (n == name) return true;
    }
    return false;
}

bool isFlag(std::string_view name) {
    return name == "ai" || name == "idle" || name == "print-players" || name == "help";
}

}  // namespace

BotOptions parseBotOptions(std::span<const std::string_view> args) {
    BotOptions options;
    bool haveAddress = false;
    bool haveDriver = false;
    auto setDriver = [&](DriverKind kind, std::string_view arg) {
        if (haveDriver) {
            throw OptionError("\"" + std::string(arg) +
                              "\": only one of --ai, --random, --script, --idle");
        }
        haveDriver = true;
        options.driver = kind;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "-h") arg = "--help";
        if (arg.substr(0, 2) != "--") {
            if (haveAddress) {
                throw OptionError("unexpected argument \"" + std::string(arg) +
                                  "\": the server address is already given");
            }
            haveAddress = true;
            parseAddress(arg, options);
            continue;
        }
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> value;
        if (auto eq = name.find('='); eq != name.npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (isFlag(name)) {
            if (value) throw OptionError("--" + std::string(name) + " takes no value");
        } else if (takesValue(name)) {
            if (!value) {
                if (i + 1 == args.size()) {
                    throw OptionError("--" + std::string(name) + " needs a value");
                }
                value = args[++i];
            }
        } else {
            throw OptionError("unknown option \"" + std::string(arg) + "\" (see --help)");
        }

        if (name == "help") {
            options.help = true;
        } else if (name == "ai") {
            setDriver(DriverKind::ai, arg);
        } else if (name == "idle") {
            setDriver(DriverKind::idle, arg);
        } else if (name == "random") {
            setDriver(DriverKind::random, arg);
            options.randomSeed =
                parseNumber<uint32_t>(name, *value, 0, std::numeric_limits<uint32_t>::max());
        } else if (name == "script") {
            setDriver(DriverKind::script, arg);
            if (value->empty()) throw OptionError("--script needs a file name");
            options.scriptFile = *value;
        } else if (name == "print-players") {
            options.printPlayers = true;
        } else if (name == "data") {
            if (value->empty()) throw OptionError("--data needs a folder");
            options.dataDir = *value;
        } else if (name == "ticks") {
            options.ticks =
                parseNumber<int64_t>(name, *value, 0, std::numeric_limits<int64_t>::max() - 1);
        } else if (name == "digest-every") {
            options.digestEvery =
                parseNumber<int64_t>(name, *value, 1, std::numeric_limits<int64_t>::max());
        } else if (name == "connections") {
            options.connections = parseNumber<int64_t>(name, *value, 1, 100'000);
        } else if (name == "replay") {
            if (value->empty()) throw OptionError("--replay needs a file name");
            options.replayFile = *value;
        }
    }

    if (!options.replayFile.empty()) {
        if (haveAddress) throw OptionError("--replay plays no match: no server address");
        if (haveDriver) throw OptionError("--replay replays recorded commands: no driver");
        if (options.connections > 0) throw OptionError("--replay plays no match: no --connections");
    }
    return options;
}

std::string botHelpText() {
    return "Usage: brallo-bot [HOST[:PORT]] [options]\n"
           "       brallo-bot --replay FILE [--data DIR] [--digest-every K] [--ticks N]\n"
           "A client without a window: plays one match on the relay at HOST:PORT\n"
           "(default 127.0.0.1:11112), or re-simulates a match recorded by brallo-relay.\n"
           "\n"
           "  --data DIR         folder holding maps/<map>.txt (default: the working directory)\n"
           "  --ai               play against the nearest other player (default)\n"
           "  --random SEED      random commands from the bot's own generator\n"
           "  --script FILE      one three-character command per line and tick, then \"___\"\n"
           "  --idle             always \"___\"\n"
           "  --ticks N          leave after N ticks (the replay: stop after tick N)\n"
           "  --digest-every K   print \"tick T digest D\" (D hexadecimal) every K ticks\n"
           "  --print-players    print each player's state beside digest lines and summary\n"
           "  --replay FILE      re-simulate a relay record offline\n"
           "  --connections C    load mode: C light clients that answer every \"GoOn\" at once\n"
           "                     (\"___\", or random with --random); ends when the first has\n"
           "                     done --ticks and prints one \"load ...\" line of tick rates\n"
           "  --help             this text\n"
           "\n"
           "Standard output: the digest lines and one summary line at the end:\n"
           "  summary ticks T points P0 P1 ... endState none|win|lose\n"
           "Progress and errors go to the error output. Exit status: 0 after a complete run,\n"
           "1 on a failure (the server closing the connection before --ticks were done),\n"
           "2 for a bad command line.\n";
}

}  // namespace brallo::bot
