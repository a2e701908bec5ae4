// The relay's protocol and match logic, free of sockets: bytes and times go in, bytes to send,
// connections to close and log lines come out. The server drives it; tests and fuzzers
// drive it from memory with made-up times.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brallo/net/frame.h"

namespace brallo::relay {

using Clock = std::chrono::steady_clock;
using ClientId = std::uint64_t;

struct RelaySettings {
    std::int32_t players = 2;
    std::optional<std::uint32_t> seed;  ///< empty: a random seed per match
    std::string config;                 ///< must not be the single text "."
    std::chrono::milliseconds tick{16};
    std::chrono::milliseconds timeout{10000};
    std::string recordDir;  ///< empty: no records
};

/// Something the transport must do, in the order given.
struct Outgoing {
    ClientId client = 0;
    std::string bytes;   ///< framed messages to append to the client's output, if not empty
    bool close = false;  ///< then forget the client and close its connection
};

class Relay {
  public:
    using Log = std::function<void(const std::string&)>;

    Relay(RelaySettings settings, Log log);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    /// A new connection; it joins the oldest forming match with a free player number.
    ClientId connect(Clock::time_point now);
    /// Bytes received from a client. Unknown (already dropped) clients are ignored.
    void receive(ClientId client, std::string_view bytes, Clock::time_point now);
    /// Removes a client for a reason found by the transport (disconnected, output overflow).
    void drop(ClientId client, const std::string& reason, Clock::time_point now);
    /// Acts on timers that are due: silent clients, ticks waiting for --tick-ms.
    void advance(Clock::time_point now);
    /// The earliest time at which advance has something to do.
    std::optional<Clock::time_point> nextDeadline() const;
    /// Ends every match and closes every client (server shutdown).
    void shutdown();

    /// Takes what the transport must do since the last call.
    std::vector<Outgoing> takeOutgoing();
    /// The same into `into` (its old contents are dropped), reusing both vectors' storage.
    void takeOutgoing(std::vector<Outgoing>& into);

    std::size_t clientCount() const { return clients_.size(); }
    std::size_t matchCount() const { return matches_.size(); }

  private:
    struct Client;
    struct Match;
    // At equal times a client's own timer goes first, then a match's command deadline, then its
    // pacing.
    enum class TimerKind { client, commands, match };
    using TimerKey = std::pair<Clock::time_point, std::pair<TimerKind, std::uint64_t>>;

    void handleMessage(Client& client, const std::string& message, Clock::time_point now);
    void startMatch(Match& match, Clock::time_point now);
    void tryCompleteTick(Match& match, Clock::time_point now);
    void completeTick(Match& match, Clock::time_point now);
    void sendGoOn(Match& match, Clock::time_point now);
    void finishMatch(Match& match, const std::string& how);
    void send(ClientId client, std::string bytes);
    void setClientTimer(Client& client, std::optional<Clock::time_point> when);
    void setMatchTimer(Match& match, std::optional<Clock::time_point> when);
    void setCommandsTimer(Match& match, std::optional<Clock::time_point> when);
    void dropSilentPlayers(Match& match, Clock::time_point now);
    void openRecord(Match& match);

    RelaySettings settings_;
    Log log_;
    std::random_device randomDevice_;
    std::map<ClientId, std::unique_ptr<Client>> clients_;
    std::map<std::uint64_t, std::unique_ptr<Match>> matches_;
    std::set<TimerKey> timers_;
    std::vector<Outgoing> outgoing_;
    ClientId nextClient_ = 1;
    std::uint64_t nextMatch_ = 1;
};

/// A message made printable for a log line: at most 40 bytes, other bytes as \xNN.
std::string printable(std::string_view message);

}  // namespace brallo::relay
