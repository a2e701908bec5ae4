// Command-line options of brallo-relay: parsing into `Options`, the --help text and loading of the
// configuration file. Reads only its arguments (and the --config file in loadConfigFile); called
// by the relay's main and by the tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "brallo/net/streams.h"

namespace brallo::relay {

/// Configuration sent to every client when no --config file is given; names map1.
inline constexpr std::string_view builtinConfig =
    "mode m\nmap map1\nwinPoints 3\ngoldList {purpleBall}\nsilverList {fireBall}\n";

/// A command line the relay cannot run with; main prints the message and exits with status 2.
class OptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Options {
    bool help = false;
    std::uint16_t port = 11112;                ///< 0 lets the system pick a free port
    std::string bind = "0.0.0.0";              ///< listening address (IPv4); 0.0.0.0 serves the LAN
    std::int32_t players = 2;                  ///< clients per match, 1 to maxPlayers
    std::string configFile;                    ///< empty: use builtinConfig
    std::optional<std::uint32_t> seed;         ///< empty: a fresh random seed per match
    std::chrono::milliseconds tick{16};        ///< least time between two "GoOn"
    std::chrono::milliseconds timeout{10000};  ///< silence allowed during setup and after "GoOn"
    std::string recordDir;                     ///< empty: no records
    net::Streams::Backend io = net::Streams::Backend::automatic;  ///< socket back end
};

inline constexpr std::int32_t maxPlayers = 1024;

/// Parses the arguments after the program name. Accepts "--name value" and "--name=value".
/// Throws OptionError with a message naming the option at fault.
Options parseOptions(std::span<const std::string_view> args);

/// The text --help prints.
std::string helpText();

/// The configuration text of `options`: the --config file whole, or builtinConfig.
/// Throws OptionError when the file cannot be read, is larger than 64 KiB, or is the single
/// text "." (which no client could receive, since "." ends the configuration).
std::string loadConfigText(const Options& options);

/// Throws OptionError when --record names something that is not a directory.
void checkRecordDir(const Options& options);

}  // namespace brallo::relay
