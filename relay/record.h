// Match records: the line-based file the relay writes for each match (see relay/RECORD.md) and
// the reader that turns one back into a `Recording`. The relay core writes them; the bot's replay
// mode and the tests read them.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brallo::relay {

/// A record file that does not follow the format; the message names the line at fault.
class RecordError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Recording {
    std::int32_t players = 0;
    std::uint32_t seed = 0;
    std::string config;  ///< byte for byte as sent to the clients
    /// One entry per tick, tick 1 first; per tick one entry per player: the 3-byte command the
    /// player sent in answer to that tick's "GoOn", or empty when the player was dropped during
    /// that tick or earlier.
    std::vector<std::vector<std::string>> ticks;
    bool finished = false;  ///< the "end" line is present (absent after a crash of the relay)
};

/// Reads a whole record. Throws RecordError on anything malformed, including a torn last line.
Recording readRecording(std::istream& in);

/// Writes a record as the match runs; every call ends with a flush so that a crash loses at
/// most the tick being written.
class RecordWriter {
  public:
    explicit RecordWriter(std::ostream& out) : out_(out) {}

    void header(std::int32_t players, std::uint32_t seed, std::string_view config);
    /// Commands of one tick in player order; nullopt marks a dropped player.
    void tick(const std::vector<std::optional<std::string>>& commands);
    void end();

  private:
    std::ostream& out_;
    std::int64_t ticks_ = 0;
};

/// A command as one record token: printable ASCII stays, every other byte and "%" become %XX.
std::string encodeCommand(std::string_view command);
/// The inverse of encodeCommand; throws RecordError on a bad escape.
std::string decodeCommand(std::string_view token);

}  // namespace brallo::relay
