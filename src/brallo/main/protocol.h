// The client's side of the relay protocol, over any message channel: the setup handshake
// ("count?", "me?", "seed?", "config?", "ok") and the dispatch of one server message per pass.
// Shared by the windowed client, the headless bot and the fuzzers (which feed it from memory).
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "brallo/game/world.h"

namespace brallo {

/// One framed text message each way.
class MessageChannel {
  public:
    virtual ~MessageChannel() = default;
    virtual void send(std::string_view text) = 0;
    /// The next whole message; valid until the next call. Throws when the stream ends.
    virtual std::string_view receive() = 0;
};

struct ProtocolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Most players a match may announce; a larger count is refused rather than allocated.
inline constexpr int32_t maxPlayers = 4096;
/// Most configuration text collected at setup; a server that never sends "." is cut off here.
inline constexpr std::size_t maxConfigBytes = 1 << 20;

/// Runs the handshake: sets up world.players, world.myself, world.rnd and the configured
/// settings, and `mapName`. Prints "Seed: ...", "Receiving config" and the configuration's
/// lines to `out`; `in` serves the one line read after an unknown configuration command.
void handshake(MessageChannel& server, game::World& world, std::string& mapName, std::ostream& out,
               std::istream& in);

enum class ServerEvent {
    tick,   ///< "GoOn": the caller sends its command and steps the world
    relay,  ///< another player's command arrived and was applied
};

/// Receives one server message and, for a player number, its command, which is applied at once.
/// Throws on a message that is neither "GoOn" nor a valid other player's number.
ServerEvent handleServerMessage(MessageChannel& server, game::World& world);

}  // namespace brallo
