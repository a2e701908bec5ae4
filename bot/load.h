// The bot's load mode (--connections C): many light clients in one process that do the setup
// dialogue and answer every "GoOn" at once, without a simulation, to put a relay under load and
// measure how steadily it ticks. Reads the options; called by the bot's main.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "options.h"

namespace brallo::bot {

/// Time between two "GoOn" of one client, in bins of 10 microseconds up to one second.
class IntervalHistogram {
  public:
    static constexpr int64_t binMicros = 10;
    static constexpr size_t bins = 100'000;

    void add(int64_t micros);
    uint64_t count() const { return count_; }
    /// The smallest interval (microseconds, bin's upper edge) at or below which `fraction` of
    /// the intervals lie; 0 when empty.
    int64_t percentile(double fraction) const;
    int64_t maxMicros() const { return max_; }

  private:
    std::vector<uint64_t> counts_ = std::vector<uint64_t>(bins + 1, 0);
    uint64_t count_ = 0;
    int64_t max_ = 0;
};

/// Opens options.connections clients to the relay, plays until each has done options.ticks
/// ticks (or a stop signal, or every connection is closed), and prints one line:
///   load clients C playing P matches M seconds S tickRate R minTickRate Q
///        interval p50 A p99 B max X handled p50 D p99 E max F lost L
/// R and Q: "GoOn" per second of the player-0 clients (one per match), mean and least, counted
/// once all clients play; intervals in milliseconds over all clients over the same span, A B X
/// between the kernel's arrival times of two "GoOn" (the relay's pacing as it reaches the
/// clients; a read that holds two ticks counts the second at the first's time), D E F between
/// the moments this one thread handled them (adding its own queueing).
/// Progress and failures go to `log`. Returns 0 when every client did its ticks, 1 otherwise.
int runLoad(const BotOptions& options, std::ostream& out, std::ostream& log);

}  // namespace brallo::bot
