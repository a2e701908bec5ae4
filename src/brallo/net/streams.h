// Many TCP streams served by one thread: every stream always has a receive armed, sends are
// queued per stream and written in order, and the program learns of data, closes and accepted
// clients through a handler. Two back ends: io_uring, which hands a whole round of receives and
// sends to the kernel in one system call, and epoll, for kernels that refuse io_uring.
// Used by the relay's server and the bot's load mode; POSIX only, no SDL.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace brallo::net {

using StreamId = std::uint64_t;

/// What the streams report; called from inside Streams::poll, one call per event.
class StreamHandler {
  public:
    /// A client was accepted on the listening socket; it is now a stream.
    virtual void accepted(StreamId) {}
    /// accept failed with `error` (errno), for example EMFILE; the listening socket stays watched.
    virtual void acceptFailed(int /*error*/) {}
    /// A connect() begun by Streams::connect has succeeded.
    virtual void connected(StreamId) {}
    /// Bytes arrived; the view is valid during the call only.
    virtual void received(StreamId, std::string_view /*bytes*/) {}
    /// The same with the time (system clock) at which the kernel took the bytes in, for streams
    /// opened with StreamOptions::receiveTimestamps; empty otherwise. Calls `received` unless
    /// overridden.
    virtual void receivedAt(StreamId id, std::string_view bytes,
                            std::optional<std::chrono::system_clock::time_point> /*arrival*/) {
        received(id, bytes);
    }
    /// The stream ended (`error` 0: the peer closed it; otherwise an errno) and is already closed.
    virtual void closed(StreamId, int error) = 0;
    /// A descriptor given to Streams::watch became readable; it is watched no longer.
    virtual void ready(std::uint64_t /*token*/) {}

  protected:
    ~StreamHandler() = default;
};

struct StreamOptions {
    bool noDelay = true;  ///< TCP_NODELAY: small messages leave at once
    int sendBuffer = 0;   ///< SO_SNDBUF in bytes; 0 keeps the system's
    /// SO_TIMESTAMPNS: received bytes come with the time they reached the socket, which a
    /// program busy elsewhere would otherwise see only when it gets round to them.
    bool receiveTimestamps = false;
};

class Streams {
  public:
    enum class Backend { automatic, ring, epoll };

    /// `automatic` tries io_uring and falls back to epoll. Throws std::runtime_error when the
    /// back end asked for cannot be made.
    static std::unique_ptr<Streams> create(Backend backend = Backend::automatic);
    /// "io_uring" or "epoll".
    virtual const char* name() const = 0;
    virtual ~Streams() = default;

    /// Accepts clients on a listening socket (borrowed, non-blocking) from now on.
    virtual void listen(int fd, StreamOptions options) = 0;
    /// Starts connecting to `address`; `connected` or `closed` follows.
    virtual StreamId connect(const sockaddr* address, socklen_t length, StreamOptions options) = 0;
    /// Reports `ready(token)` once when the borrowed descriptor `fd` becomes readable.
    virtual void watch(int fd, std::uint64_t token) = 0;

    /// Queues bytes behind whatever the stream has not sent yet. Unknown streams are ignored.
    /// A failed send closes the stream and is reported from the next poll.
    virtual void send(StreamId id, std::string_view bytes) = 0;
    /// Bytes queued for the stream and not yet taken by the kernel.
    virtual std::size_t unsent(StreamId id) const = 0;
    /// Closes the stream now: unsent bytes are dropped and nothing more is reported for it.
    virtual void close(StreamId id) = 0;
    /// Streams open: connecting or connected, and neither closed nor reported closed.
    virtual std::size_t size() const = 0;

    /// Hands the queued work to the kernel, waits for events up to `timeout` (none: without
    /// limit; zero: not at all) and reports them. A signal ends the wait early.
    virtual void poll(std::optional<std::chrono::nanoseconds> timeout, StreamHandler& handler) = 0;
};

}  // namespace brallo::net
