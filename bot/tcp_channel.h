// The bot's connection to the relay: a blocking POSIX TCP socket carrying framed messages, so the
// bot needs no SDL. Uses the shared framing (brallo/net/frame.h); called by the bot's match loop.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "brallo/main/protocol.h"
#include "brallo/net/frame.h"

namespace brallo::bot {

/// The connection cannot be made, or a read or write on it failed.
struct ConnectionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The server closed the connection (the end of the stream).
struct ConnectionClosed : ConnectionError {
    using ConnectionError::ConnectionError;
};

/// A stop was requested (SIGINT, SIGTERM) while the channel waited.
struct StopRequested : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TcpChannel final : public MessageChannel {
  public:
    /// Connects to `host` (a name or dotted address) at `port`. Throws ConnectionError.
    TcpChannel(const std::string& host, uint16_t port);
    ~TcpChannel() override;
    TcpChannel(const TcpChannel&) = delete;
    TcpChannel& operator=(const TcpChannel&) = delete;

    void send(std::string_view text) override;
    /// Throws ConnectionClosed at the end of the stream, StopRequested when a stop is pending.
    std::string_view receive() override;
    void close();

  private:
    int fd_ = -1;
    net::FrameDecoder decoder_;
    std::string current_;
};

/// Makes SIGINT and SIGTERM request a stop instead of ending the process; blocking reads then
/// return with StopRequested.
void installStopHandler();
bool stopRequested();

}  // namespace brallo::bot
