// Parsing of the relay's command line; numbers are plain decimal digits, checked for range.
#include "options.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace brallo::relay {

namespace {

template <typename T>
T parseNumber(std::string_view name, std::string_view text, T low, T high) {
    T value{};
    bool digitsOnly = !text.empty() && text.find_first_not_of("0123456789") == text.npos;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!digitsOnly || ec != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        std::ostringstream message;
        message << "--" << name << ": expected a whole number from " << +low << " to " << +high
                << ", got \"" << text << "\"";
        throw OptionError(message.str());
    }
    return value;
}

// Seconds with up to three decimals ("10", "0.25"), so that tests can use short timeouts.
std::chrono::milliseconds parseSeconds(std::string_view name, std::string_view text) {
    auto bad = [&] {
        return OptionError("--" + std::string(name) +
                           ": expected seconds from 0.001 to 86400 with at most three decimals, "
                           "got \"" +
                           std::string(text) + "\"");
    };
    std::string_view whole = text;
    std::string_view fraction;
    if (auto dot = text.find('.'); dot != text.npos) {
        whole = text.substr(0, dot);
        fraction = text.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 3) throw bad();
    }
    if (whole.empty() || whole.find_first_not_of("0123456789") != whole.npos ||
        fraction.find_first_not_of("0123456789") != fraction.npos || whole.size() > 5)
        throw bad();
    std::int64_t ms = 0;
    for (char c : whole) ms = ms * 10 + (c - '0');
    ms *= 1000;
    std::int64_t scale = 100;
    for (char c : fraction) {
        ms += (c - '0') * scale;
        scale /= 10;
    }
    if (ms < 1 || ms > 86400 * 1000) throw bad();
    return std::chrono::milliseconds(ms);
}

}  // namespace

Options parseOptions(std::span<const std::string_view> args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.substr(0, 2) != "--")
            throw OptionError("unexpected argument \"" + std::string(arg) + "\"");
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> value;
        if (auto eq = name.find('='); eq != name.npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        static constexpr std::string_view known[] = {
            "port", "bind", "players", "config", "seed", "tick-ms", "timeout", "record", "io"};
        bool isKnown = false;
        for (auto k : known) isKnown = isKnown || k == name;
        if (!isKnown) throw OptionError("unknown option \"" + std::string(arg) + "\" (see --help)");
        if (!value) {
            if (i + 1 >= args.size())
                throw OptionError("--" + std::string(name) + ": missing value");
            value = args[++i];
        }
        std::string_view v = *value;
        if (name == "port") {
            options.port = parseNumber<std::uint16_t>(name, v, 0, 65535);
        } else if (name == "bind") {
            if (v.empty()) throw OptionError("--bind: missing address");
            options.bind = v;
        } else if (name == "players") {
            options.players = parseNumber<std::int32_t>(name, v, 1, maxPlayers);
        } else if (name == "config") {
            if (v.empty()) throw OptionError("--config: missing file name");
            options.configFile = v;
        } else if (name == "seed") {
            options.seed = parseNumber<std::uint32_t>(name, v, 0, 4294967295u);
        } else if (name == "tick-ms") {
            options.tick = std::chrono::milliseconds(parseNumber<std::int32_t>(name, v, 0, 60000));
        } else if (name == "timeout") {
            options.timeout = parseSeconds(name, v);
        } else if (name == "io") {
            if (v == "auto") {
                options.io = net::Streams::Backend::automatic;
            } else if (v == "io_uring") {
                options.io = net::Streams::Backend::ring;
            } else if (v == "epoll") {
                options.io = net::Streams::Backend::epoll;
            } else {
                throw OptionError("--io: expected auto, io_uring or epoll, got \"" +
                                  std::string(v) + "\"");
            }
        } else if (name == "record") {
            if (v.empty()) throw OptionError("--record: missing directory");
            options.recordDir = v;
        }
    }
    return options;
}

std::string helpText() {
    return "Usage: brallo-relay [options]\n"
           "Relay server of Brallo: gathers clients into matches and paces their ticks.\n"
           "\n"
           "  --help           show this text and exit\n"
           "  --port N         TCP port to listen on (default 11112; 0 picks a free one)\n"
           "  --bind ADDR      IPv4 address to listen on (default 0.0.0.0: every interface,\n"
           "                   so players on the LAN can connect; 127.0.0.1 for this machine)\n"
           "  --players N      players per match, 1 to 1024 (default 2)\n"
           "  --config FILE    configuration text sent to the clients (default: a built-in\n"
           "                   one on map1)\n"
           "  --seed N         seed of every match, 0 to 4294967295 (default: a fresh random\n"
           "                   seed per match)\n"
           "  --tick-ms N      least milliseconds between two ticks (default 16)\n"
           "  --timeout S      seconds a client may stay silent during setup or after a tick\n"
           "                   starts before it is dropped; decimals allowed (default 10)\n"
           "  --record DIR     write every match to a file in DIR (format: relay/RECORD.md)\n"
           "  --io KIND        how sockets are served: io_uring, epoll, or auto (default:\n"
           "                   io_uring where the kernel allows it, epoll otherwise)\n";
}

std::string loadConfigText(const Options& options) {
    if (options.configFile.empty()) return std::string(builtinConfig);
    std::ifstream in(options.configFile, std::ios::binary);
    if (!in) throw OptionError("--config: cannot read \"" + options.configFile + "\"");
    constexpr std::size_t limit = 64 << 10;
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > limit)
            throw OptionError("--config: \"" + options.configFile + "\" is larger than 64 KiB");
    }
    if (in.bad()) throw OptionError("--config: cannot read \"" + options.configFile + "\"");
    if (text == ".")
        throw OptionError("--config: the configuration \".\" cannot be sent (it ends the text)");
    return text;
}

void checkRecordDir(const Options& options) {
    std::error_code error;
    if (!options.recordDir.empty() && !std::filesystem::is_directory(options.recordDir, error))
        throw OptionError("--record: \"" + options.recordDir + "\" is not a directory");
}

}  // namespace brallo::relay
