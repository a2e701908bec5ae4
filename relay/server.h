// The relay's transport: one thread, non-blocking TCP sockets on epoll, timers from the relay
// core's deadlines. Reads the options; called by the relay's main and by the tests, which run it
// on a thread of their own against loopback sockets.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "options.h"
#include "relay.h"

struct epoll_event;

namespace brallo::relay {

class Server {
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
    struct Connection;

    int waitForEvents(epoll_event* events, int capacity);
    void acceptAll(Clock::time_point now);
    void readFrom(ClientId id, Clock::time_point now);
    void flush(ClientId id);
    void pump(Clock::time_point now);
    void closeConnection(ClientId id);

    Relay::Log log_;
    Relay relay_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFd_ = -1;
    int spareFd_ = -1;  ///< given up to accept and shed a client when descriptors run out
    std::uint16_t port_ = 0;
    std::size_t maxPendingOutput_;
    std::map<ClientId, Connection> connections_;
    bool coarseWait_ = false;  ///< epoll_pwait2 is missing: millisecond timeouts
};

}  // namespace brallo::relay
