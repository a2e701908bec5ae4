// The relay's transport: one thread serving every client through Streams (io_uring, or epoll
// where the kernel refuses it), with timers from the relay core's deadlines. Reads the options;
// called by the relay's main and by the tests, which run it on a thread of their own against
// loopback sockets.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "brallo/net/streams.h"
#include "options.h"
#include "relay.h"

namespace brallo::relay {

class Server : private net::StreamHandler {
  public:
    /// Output a client has not read yet beyond which it is dropped.
    static constexpr std::size_t defaultMaxPendingOutput = 1 << 20;

    /// Binds and listens (throws std::runtime_error when it cannot) and logs the first line,
    /// "listening on ADDR port P ...", with the actual port.
    Server(const Options& options, std::string config, Relay::Log log,
           std::size_t maxPendingOutput = defaultMaxPendingOutput);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t port() const { return port_; }

    /// Serves until stop() is called or `stopFd` (e.g. a signalfd; -1 for none) becomes
    /// readable; then closes every connection and ends the matches.
    void run(int stopFd = -1);

    /// Makes run() return soon; safe from other threads and from signal handlers.
    void stop();

  private:
    void accepted(net::StreamId stream) override;
    void acceptFailed(int error) override;
    void received(net::StreamId stream, std::string_view bytes) override;
    void closed(net::StreamId stream, int error) override;
    void ready(std::uint64_t token) override;

    void pump(Clock::time_point now);
    void closeConnection(ClientId id);

    Relay::Log log_;
    Relay relay_;
    std::unique_ptr<net::Streams> streams_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    int spareFd_ = -1;  ///< given up to accept and shed a client when descriptors run out
    std::uint16_t port_ = 0;
    std::size_t maxPendingOutput_;
    std::map<net::StreamId, ClientId> clientOf_;
    std::map<ClientId, net::StreamId> streamOf_;
    std::vector<Outgoing> outgoing_;  ///< kept between pumps so its storage is reused
    std::vector<ClientId> overflowing_;
    bool stopping_ = false;
};

}  // namespace brallo::relay
